#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace morvane::com::testing_dispatch {

// An in-process dispatch object whose members are given by name, for the tests of the by-name
// binding: it logs every name look-up and call ("ids Caption", "get Caption", "put Visible",
// "call GetEntity"), counts its references, and answers QueryInterface for IUnknown, IDispatch and
// the interfaces listed in `answers` only; for any other, `refusal` (E_NOINTERFACE unless changed).
class FakeDispatch final : public IDispatch {
public:
    // A member: its flags (DISPATCH_PROPERTYGET, ...), its arguments and the result to fill.
    using Member = std::function<HRESULT(DISPPARAMS& parameters, VARIANT* result, EXCEPINFO* exception)>;

    explicit FakeDispatch(std::vector<std::string>* sharedLog = nullptr) : log_(sharedLog ? *sharedLog : ownLog_) {}

    // Adds a member answered for one kind of call (get, put or method).
    void On(const std::wstring& name, WORD kind, Member member) {
        if (!ids_.contains(name)) ids_[name] = static_cast<DISPID>(ids_.size() + 1);
        members_[{ids_[name], kind}] = std::move(member);
    }

    // The object no longer knows the name (as one without such a member).
    void Forget(const std::wstring& name) { ids_.erase(name); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        bool known = iid == IID_IUnknown || iid == IID_IDispatch;
        for (const IID& answer : answers) known = known || iid == answer;
        if (!known) {
            *out = nullptr;
            return refusal;
        }
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        const std::wstring name = names[0];
        log_.push_back(name_ + "ids " + std::string(name.begin(), name.end()));
        const auto found = ids_.find(name);
        if (count != 1 || found == ids_.end()) {
            *ids = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        *ids = found->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        std::string name = "?";
        for (const auto& [known, knownId] : ids_) {
            if (knownId == id) name.assign(known.begin(), known.end());
        }
        const char* kind = flags == DISPATCH_PROPERTYPUT ? "put " : flags == DISPATCH_METHOD ? "call " : "get ";
        log_.push_back(name_ + kind + name);
        const auto member = members_.find({id, flags});
        if (member == members_.end()) return DISP_E_MEMBERNOTFOUND;
        return member->second(*parameters, result, exception);
    }

    // Prefixes this object's lines in a shared log ("app.get Caption").
    void Name(std::string name) { name_ = std::move(name) + "."; }
    [[nodiscard]] const std::vector<std::string>& Log() const { return log_; }

    ULONG references = 0;
    std::vector<IID> answers;
    HRESULT refusal = E_NOINTERFACE;

private:
    std::vector<std::string> ownLog_;
    std::vector<std::string>& log_;
    std::string name_;
    std::map<std::wstring, DISPID> ids_;
    std::map<std::pair<DISPID, WORD>, Member> members_;
};

}  // namespace morvane::com::testing_dispatch
