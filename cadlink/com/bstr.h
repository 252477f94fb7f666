#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>
#include <utility>

namespace morvane::com {

// The whole text of a BSTR someone else owns, U+0000 included; a null BSTR is the empty text, as
// COM defines it.
[[nodiscard]] inline std::u16string TextOf(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

// Owns one BSTR (or none) and frees it with SysFreeString. Move-only. The text is counted: its
// length comes from SysStringLen, so a U+0000 inside it survives both ways.
class Bstr {
public:
    Bstr() noexcept = default;
    // Takes ownership of a BSTR someone allocated for us.
    explicit Bstr(BSTR owned) noexcept : value_(owned) {}
    Bstr(Bstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.value_, nullptr));
        }
        return *this;
    }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { Reset(); }

    // A new BSTR holding the whole text. Returns an empty owner only when the system is out of
    // memory (or the text exceeds what a BSTR can count); the caller decides what that means.
    [[nodiscard]] static Bstr FromText(std::u16string_view text) noexcept {
        if (text.size() > kMaxLength) {
            return Bstr();
        }
        return Bstr(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                      static_cast<UINT>(text.size())));
    }

    // The whole text, U+0000 included.
    [[nodiscard]] std::u16string Text() const { return TextOf(value_); }

    [[nodiscard]] BSTR Get() const noexcept { return value_; }
    [[nodiscard]] explicit operator bool() const noexcept { return value_ != nullptr; }

    // Frees what it holds and gives the slot for an [out] BSTR*.
    [[nodiscard]] BSTR* ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &value_;
    }
    // Gives up ownership, e.g. into a VARIANT that will own it.
    [[nodiscard]] BSTR Detach() noexcept { return std::exchange(value_, nullptr); }

    void Reset(BSTR owned = nullptr) noexcept {
        if (value_ != nullptr) {
            SysFreeString(value_);
        }
        value_ = owned;
    }

    // SysAllocStringLen counts in UINT and stores the byte count in 32 bits.
    static constexpr std::size_t kMaxLength = 0x7FFFFFFEu / sizeof(OLECHAR);

private:
    BSTR value_ = nullptr;
};

}  // namespace morvane::com
