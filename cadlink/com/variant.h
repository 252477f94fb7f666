#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

#include "cadlink/com/bstr.h"

namespace morvane::com {

// Owns one VARIANT and clears it with VariantClear (which frees a BSTR, releases an object,
// destroys a SAFEARRAY it holds). Move-only; a moved-from owner holds VT_EMPTY.
class Variant {
public:
    Variant() noexcept { VariantInit(&value_); }
    // Takes ownership of the BSTR, as a VT_BSTR.
    explicit Variant(Bstr text) noexcept : Variant() {
        value_.vt = VT_BSTR;
        value_.bstrVal = text.Detach();
    }
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            Clear();
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { Clear(); }

    [[nodiscard]] VARIANT* Get() noexcept { return &value_; }
    [[nodiscard]] const VARIANT* Get() const noexcept { return &value_; }
    [[nodiscard]] VARTYPE Type() const noexcept { return value_.vt; }

    // Clears what it holds and gives the slot for an [out] VARIANT*.
    [[nodiscard]] VARIANT* ReleaseAndGetAddressOf() noexcept {
        Clear();
        return &value_;
    }

    void Clear() noexcept {
        // VariantClear fails only on a VARIANT it cannot interpret; there is nothing left to free then.
        (void)VariantClear(&value_);
        VariantInit(&value_);
    }

private:
    VARIANT value_;
};

}  // namespace morvane::com
