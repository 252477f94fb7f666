#include "cadstandin/automation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>

#include "cadstandin/argument_check.h"
#include "cadstandin/mtext_format.h"
#include "cadstandin/server.h"

namespace cadstandin {
namespace {

using Microsoft::WRL::ComPtr;

constexpr HRESULT kPickFailed = DISP_E_EXCEPTION;  // 0x80020009: missed or cancelled pick
constexpr HRESULT kKeyNotFound = static_cast<HRESULT>(0x80200014);  // the CAD application's "Key not found"
// A write to an object on a locked layer. The CAD application's automation errors sit above
// 0x80200000; the reference names no number for this one, so the stand-in takes ObjectARX's
// eOnLockedLayer (87 in acadstrc.h, release 15's and later ones) on that base. (Its "Key not found",
// 0x80200014, is 20 on the base, where acadstrc.h has eKeyNotFound 22: the base plus the status is
// not the CAD application's own mapping, so this number is the stand-in's choice.)
constexpr HRESULT kOnLockedLayer = static_cast<HRESULT>(0x80200000 + 87);

std::u16string FromBstr(BSTR text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
}

HRESULT ToBstr(std::u16string_view text, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    return *out != nullptr || text.empty() ? S_OK : E_OUTOFMEMORY;
}

const char* InvokeKind(WORD flags) {
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) return "put";
    if (flags & DISPATCH_PROPERTYGET) return (flags & DISPATCH_METHOD) ? "get-or-method" : "get";
    return "method";
}

// IUnknown, IDispatch (through the type library) and IExternalConnection for one dual interface,
// with every call counted and logged.
template <class Interface>
class DispatchObject : public Interface, public IExternalConnection, public ReportedObject {
public:
    DispatchObject(std::string name, const IID& dispatchIid, std::initializer_list<IID> answers, bool isEntity)
        : ReportedObject(std::move(name)),
          typeInfo_(Server::Get().TypeInfo(dispatchIid)),
          answers_(answers),
          isEntity_(isEntity) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            std::any_of(answers_.begin(), answers_.end(), [&](const IID& answer) { return IsEqualIID(answer, iid); })) {
            *out = static_cast<Interface*>(this);
        } else if (IsEqualIID(iid, IID_IExternalConnection)) {
            *out = static_cast<IExternalConnection*>(this);
        }
        const HRESULT result = *out != nullptr ? S_OK : E_NOINTERFACE;
        if (result == S_OK) AddRef();
        Server& server = Server::Get();
        const bool internal = IsComInternal(iid);
        const bool marshalling = !internal && server.IsBeingHandedOut(static_cast<Interface*>(this), iid);
        if (!internal && !marshalling) {
            ++server.totals.qi;
            // The stub marshals the interface the client asked for, and asks for it again.
            if (result == S_OK) server.handingOut.emplace_back(static_cast<Interface*>(this), iid);
        }
        try {
            server.log.Line("qi " + Name() + " iid=" + GuidText(iid) + " name=" + InterfaceName(iid) + " hr=" +
                            HexResult(result) + (internal ? " internal=yes" : "") + (marshalling ? " marshal=yes" : ""));
        } catch (...) {
        }
        return result;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return static_cast<ULONG>(++references_); }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const long left = --references_;
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) noexcept override {
        return Call("GetTypeInfoCount", 3, "", [&](std::string&) {
            if (count == nullptr) return E_POINTER;
            *count = 1;
            return S_OK;
        });
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) noexcept override {
        return Call("GetTypeInfo", 4, "", [&](std::string&) {
            if (info == nullptr) return E_POINTER;
            *info = nullptr;
            if (index != 0) return DISP_E_BADINDEX;
            if (!typeInfo_) return E_UNEXPECTED;
            return typeInfo_.CopyTo(info);
        });
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
        Server& server = Server::Get();
        server.handingOut.clear();
        ++server.totals.getIdsOfNames;
        const HRESULT result = typeInfo_ ? typeInfo_->GetIDsOfNames(names, count, ids) : E_UNEXPECTED;
        std::string line = "dispatch " + Name() + " GetIDsOfNames";
        if (names != nullptr && count > 0 && names[0] != nullptr) line += " name=" + QuoteText(AsU16(names[0]));
        if (count > 1) line += " names=" + std::to_string(count);
        if (SUCCEEDED(result) && ids != nullptr && count > 0) line += " dispid=" + std::to_string(ids[0]);
        server.log.Line(line + " hr=" + HexResult(result));
        return result;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) noexcept override {
        Server& server = Server::Get();
        server.handingOut.clear();
        ++server.totals.invoke;
        HRESULT outcome = DISP_E_UNKNOWNINTERFACE;
        const OddAnswer* odd = result != nullptr ? OddAnswerTo(id, flags) : nullptr;
        if (!IsEqualIID(iid, IID_NULL)) {
        } else if (!typeInfo_) {
            outcome = E_UNEXPECTED;
        } else if (odd != nullptr) {
            // Answered here, not by the member: the arguments are checked as the type library would.
            outcome = CheckArguments(*typeInfo_.Get(), id, flags, parameters, argumentError);
            if (SUCCEEDED(outcome)) outcome = GiveOddAnswer(*odd, result);
        } else {
            ++server.invokeDepth;
            outcome = typeInfo_->Invoke(static_cast<Interface*>(this), id, flags, parameters, result, exception,
                                        argumentError);
            --server.invokeDepth;
        }
        if (SUCCEEDED(outcome)) InDeclaredType(id, flags, result);
        std::string line = "dispatch " + Name() + " Invoke dispid=" + std::to_string(id) + " flags=" +
                           InvokeKind(flags) + " hr=" + HexResult(outcome);
        if (outcome == DISP_E_EXCEPTION && exception != nullptr) line += " scode=" + HexResult(exception->scode);
        if (odd != nullptr) line += " answer=odd";
        server.log.Line(line);
        return outcome;
    }

    // The scenario's odd answer to this property read ("TextString.get") or method ("Item"), if it
    // has one.
    const OddAnswer* OddAnswerTo(DISPID id, WORD flags) const {
        if (!typeInfo_) return nullptr;
        const std::optional<INVOKEKIND> kind = MemberKind(*typeInfo_.Get(), id, flags);
        if (kind != INVOKE_PROPERTYGET && kind != INVOKE_FUNC) return nullptr;
        BSTR name = nullptr;
        UINT names = 0;
        if (FAILED(typeInfo_->GetNames(id, &name, 1, &names)) || names == 0) return nullptr;
        const std::string operation =
            WideToUtf8(std::wstring_view(name, SysStringLen(name))) + (kind == INVOKE_PROPERTYGET ? ".get" : "");
        SysFreeString(name);
        return Server::Get().OddAnswerFor(Name(), isEntity_, operation);
    }

    HRESULT GiveOddAnswer(const OddAnswer& answer, VARIANT* result) {
        VariantInit(result);
        switch (answer.kind) {
        case OddAnswerKind::Empty:
            break;
        case OddAnswerKind::Null:
            result->vt = VT_NULL;
            break;
        case OddAnswerKind::Number:
            result->vt = VT_I4;
            result->lVal = answer.number;
            break;
        case OddAnswerKind::Object:
            result->vt = VT_DISPATCH;
            return HandOut<IDispatch>(static_cast<Interface*>(this), IID_IDispatch, &result->pdispVal);
        case OddAnswerKind::Text:
            result->vt = VT_BSTR;
            return ToBstr(answer.text, &result->bstrVal);
        case OddAnswerKind::Range:  // a table's IsMergedCell answers it itself
            break;
        }
        return S_OK;
    }

    STDMETHODIMP_(DWORD) AddConnection(DWORD type, DWORD) noexcept override {
        if (type & EXTCONN_STRONG) ++strongConnections_;
        return static_cast<DWORD>(strongConnections_);
    }
    STDMETHODIMP_(DWORD) ReleaseConnection(DWORD type, DWORD, BOOL) noexcept override {
        if ((type & EXTCONN_STRONG) && strongConnections_ > 0) --strongConnections_;
        return static_cast<DWORD>(strongConnections_);
    }

    [[nodiscard]] long OutstandingReferences() const override { return references_ - 1; }
    [[nodiscard]] long ExternalConnections() const override { return strongConnections_; }
    [[nodiscard]] IUnknown* Identity() override { return static_cast<Interface*>(this); }

protected:
    // An answer the type library declares int (VT_INT): Windows' Invoke may hand it over as VT_INT,
    // Wine's turns it into VT_I4. The client is given the declared type, as Windows may give it; the
    // type comes from the member's description, for the type library's answers and the stand-in's own.
    void InDeclaredType(DISPID id, WORD flags, VARIANT* result) const noexcept {
        if (result == nullptr || V_VT(result) != VT_I4 || !typeInfo_) return;
        // Both hold the same 32-bit integer.
        if (DeclaredAnswerType(*typeInfo_.Get(), id, flags) == VT_INT) V_VT(result) = VT_INT;
    }

    // Runs one member: counts it, applies an injected failure, logs it with its arguments and result.
    // body(results) returns the HRESULT and may append " result=..." fields. A table's member names
    // the cell it is for, which failures and hangs for one cell look at.
    template <class Body>
    HRESULT Call(std::string_view operation, int slot, const std::string& arguments, Body body, CellAddress cell = {}) noexcept {
        Server& server = Server::Get();
        const bool viaInvoke = server.invokeDepth > 0;
        if (!viaInvoke) ++server.totals.vtable;
        server.handingOut.clear();
        std::string results;
        HRESULT outcome = E_UNEXPECTED;
        const std::optional<Interception> intercepted = Intercept(operation, viaInvoke, cell);
        const std::optional<HRESULT> injected =
            intercepted ? std::nullopt : server.TakeFailure(Name(), isEntity_, operation, cell);
        if (intercepted) {
            outcome = intercepted->result;
        } else if (injected) {
            outcome = *injected;
        } else {
            try {
                outcome = body(results);
            } catch (...) {
                outcome = E_OUTOFMEMORY;
            }
            server.busy.MemberRan(Name(), isEntity_, operation, GetTickCount64());
        }
        try {
            std::string line = "call " + Name() + " " + std::string(operation);
            if (slot > 0) line += " slot=" + std::to_string(slot);
            line += viaInvoke ? " via=invoke" : " via=vtable";
            server.log.Line(line + arguments + " hr=" + HexResult(outcome) + results + (injected ? " injected=yes" : "") +
                            (intercepted ? intercepted->field : ""));
        } catch (...) {
        }
        return outcome;
    }

    // A newer release's application, document and utility are driven by name only.
    void RefuseSlots() { refusesSlots_ = true; }

    [[nodiscard]] ITypeInfo* TypeInfo() const noexcept { return typeInfo_.Get(); }

    // Hands out a reference to one of the server's objects, as the interface it goes out as.
    template <class Out>
    static HRESULT HandOut(Out* object, REFIID iid, Out** out) {
        if (out == nullptr) return E_POINTER;
        *out = object;
        object->AddRef();
        Server& server = Server::Get();
        server.handingOut.emplace_back(object, iid);
        // Through Invoke the object goes back in a variant, as IDispatch.
        if (server.invokeDepth > 0) server.handingOut.emplace_back(object, IID_IDispatch);
        return S_OK;
    }

    HRESULT Placeholder(int slot) noexcept {
        return Call("Placeholder", slot, "", [](std::string&) { return E_NOTIMPL; });
    }

    HRESULT TextResult(std::u16string_view text, BSTR* out, std::string& results) {
        const HRESULT outcome = ToBstr(text, out);
        if (SUCCEEDED(outcome)) results += " result=" + QuoteText(text);
        return outcome;
    }

private:
    struct Interception {
        HRESULT result;
        const char* field;  // for the log line
    };

    // What answers instead of the member: a newer release refuses calls through the slots of its
    // interfaces; a busy application (retry-later) rejects every member. A member that hangs
    // waits first, without handling messages, as a hung application does.
    std::optional<Interception> Intercept(std::string_view operation, bool viaInvoke, CellAddress cell) {
        Server& server = Server::Get();
        if (refusesSlots_ && !viaInvoke) return Interception{E_NOTIMPL, " refused=slot"};
        if (const std::optional<int> hang = server.busy.TakeHang(Name(), isEntity_, operation, cell)) {
            server.log.Line("hang " + Name() + " " + std::string(operation) + " milliseconds=" + std::to_string(*hang));
            server.busy.Hang(*hang);
        }
        if (server.busy.RejectsMember(GetTickCount64())) return Interception{RPC_E_SERVERCALL_RETRYLATER, " busy=yes"};
        return std::nullopt;
    }

    ComPtr<ITypeInfo> typeInfo_;
    std::vector<IID> answers_;
    bool isEntity_;
    bool refusesSlots_ = false;
    // Objects are made with no reference: the server's own is the ComPtr it first puts the new object in
    // (MinGW's ComPtr::Attach adds a reference, unlike WRL's, so it is not used for that).
    long references_ = 0;
    long strongConnections_ = 0;
};

#define CADSTANDIN_PLACEHOLDER(slot) \
    STDMETHODIMP Placeholder##slot() noexcept override { return Placeholder(slot); }
// Slots d0 to d9.
#define CADSTANDIN_PLACEHOLDER_TENS(d)                                                                        \
    CADSTANDIN_PLACEHOLDER(d##0) CADSTANDIN_PLACEHOLDER(d##1) CADSTANDIN_PLACEHOLDER(d##2)                   \
    CADSTANDIN_PLACEHOLDER(d##3) CADSTANDIN_PLACEHOLDER(d##4) CADSTANDIN_PLACEHOLDER(d##5)                   \
    CADSTANDIN_PLACEHOLDER(d##6) CADSTANDIN_PLACEHOLDER(d##7) CADSTANDIN_PLACEHOLDER(d##8)                   \
    CADSTANDIN_PLACEHOLDER(d##9)

// A collection's Item index: a name, or a number (any type that converts to VT_I4); none for
// anything else.
struct Index {
    bool byName = false;
    std::u16string name;
    LONG number = 0;
};

std::optional<Index> IndexOf(const VARIANT& index) {
    const VARIANT* value = &index;
    if (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr) value = V_VARIANTREF(value);
    if (V_VT(value) == VT_BSTR) return Index{true, FromBstr(V_BSTR(value)), 0};
    if (V_VT(value) == (VT_BYREF | VT_BSTR) && V_BSTRREF(value) != nullptr) return Index{true, FromBstr(*V_BSTRREF(value)), 0};
    VARIANT number;
    VariantInit(&number);
    // A VT_I4 holds nothing to free, so the converted copy needs no VariantClear.
    if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4))) return std::nullopt;
    return Index{false, {}, V_I4(&number)};
}

// Item's index for the log: index="NAME", index=<n>, or the type that is neither.
std::string IndexField(const std::optional<Index>& at, const VARIANT& index) {
    if (!at) return " index-type=" + std::to_string(V_VT(&index));
    return at->byName ? " index=" + QuoteText(at->name) : " index=" + std::to_string(at->number);
}

// ---------------------------------------------------------------------------------------------------------
// Extension dictionaries
//
// The reference: GetExtensionDictionary makes a dictionary where an object has none, and returns it;
// HasExtensionDictionary (read-only Boolean) says whether there is one; a dictionary's Count, Item
// (Index: an integer from 0 to Count - 1, or a string naming the entry; names are compared without
// regard to case, as in every collection but the selection sets) and GetName(Object) (the name the
// entry is kept under). A name not there fails as the CAD application's does, "Key not found"
// (0x80200014); the reference is silent on the other errors: an index out of range, or an object
// that is no entry of the dictionary, fail with E_INVALIDARG.

class DictionaryEntry final : public DispatchObject<IStandinDictionaryEntry> {
public:
    explicit DictionaryEntry(std::string name)
        : DispatchObject(std::move(name), IID_IStandinDictionaryEntry, {IID_IStandinDictionaryEntry}, false) {}

    // The reference is silent on what the entries of a field's dictionary are; the stand-in's are
    // dictionaries, as the CAD application keeps its fields in one.
    STDMETHODIMP get_ObjectName(BSTR* name) noexcept override {
        return Call("ObjectName.get", 0, "", [&](std::string& results) { return TextResult(u"AcDbDictionary", name, results); });
    }
};

// A collection whose members go by name, compared without regard to case (a name not there fails
// with the CAD application's "Key not found"), or by an index from 0 to Count - 1 (out of range:
// E_INVALIDARG, the reference names no error): Count and Item.
template <class Interface, class Member>
class NamedCollection : public DispatchObject<Interface> {
public:
    using DispatchObject<Interface>::DispatchObject;

    STDMETHODIMP get_Count(LONG* count) noexcept override {
        return this->Call("Count.get", 0, "", [&](std::string& results) {
            if (count == nullptr) return E_POINTER;
            *count = static_cast<LONG>(members_.size());
            results += " result=" + std::to_string(*count);
            return S_OK;
        });
    }
    STDMETHODIMP Item(VARIANT index, IDispatch** item) noexcept override {
        std::optional<Index> at;
        std::string arguments;
        try {
            at = IndexOf(index);
            arguments = IndexField(at, index);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return this->Call("Item", 0, arguments, [&](std::string& results) {
            if (item == nullptr) return E_POINTER;
            *item = nullptr;
            if (!at) return DISP_E_TYPEMISMATCH;
            std::size_t position = members_.size();
            if (at->byName) {
                for (std::size_t i = 0; i < names_.size(); ++i) {
                    if (SameNameIgnoringCase(names_[i], at->name)) position = i;
                }
                if (position >= members_.size()) return kKeyNotFound;
            } else if (at->number >= 0) {
                position = static_cast<std::size_t>(at->number);
            }
            if (position >= members_.size()) return E_INVALIDARG;
            results += " result=" + members_[position]->Name();
            return this->template HandOut<IDispatch>(members_[position].Get(), IID_IDispatch, item);
        });
    }

protected:
    void Add(std::u16string name, ComPtr<Member> member) {
        names_.push_back(std::move(name));
        members_.push_back(std::move(member));
    }

    std::vector<std::u16string> names_;
    std::vector<ComPtr<Member>> members_;
};

class ExtensionDictionary final : public NamedCollection<IStandinDictionary, DictionaryEntry> {
public:
    ExtensionDictionary(const std::string& owner, const std::vector<std::u16string>& names)
        : NamedCollection(owner + ".xdict", IID_IStandinDictionary, {IID_IStandinDictionary}, false) {
        for (const std::u16string& name : names) {
            Add(name, ComPtr<DictionaryEntry>(new DictionaryEntry(Name() + "." + std::to_string(members_.size()))));
        }
    }

    STDMETHODIMP GetName(IDispatch* object, BSTR* name) noexcept override {
        return Call("GetName", 0, "", [&](std::string& results) {
            if (object == nullptr) return E_INVALIDARG;
            ComPtr<IUnknown> identity;
            if (FAILED(object->QueryInterface(IID_PPV_ARGS(&identity)))) return E_INVALIDARG;
            for (std::size_t i = 0; i < members_.size(); ++i) {
                if (members_[i]->Identity() == identity.Get()) {
                    results += " object=" + members_[i]->Name();
                    return TextResult(names_[i], name, results);
                }
            }
            return E_INVALIDARG;
        });
    }
};

// ---------------------------------------------------------------------------------------------------------
// Entities

const char* ObjectNameOf(EntityKind kind) {
    switch (kind) {
    case EntityKind::Text: return "AcDbText";
    case EntityKind::MText: return "AcDbMText";
    case EntityKind::Line: return "AcDbLine";
    case EntityKind::Block: return "AcDbBlockReference";
    case EntityKind::Attribute: return "AcDbAttribute";
    case EntityKind::Dimension: return "AcDbRotatedDimension";
    case EntityKind::Table: return "AcDbTable";
    case EntityKind::MLeader: return "AcDbMLeader";
    case EntityKind::Tolerance: return "AcDbFcf";
    case EntityKind::AttributeDefinition: return "AcDbAttributeDefinition";
    }
    return "AcDbEntity";
}

// What Update does for an entity: the text written last is what the window shows from now on (a
// table's cells, a block's attributes too).
void ShowWritten(EntityState& state) {
    state.shown = state.definition.text;
    state.definition.table.Update();
    for (EntityState* attribute : state.attributes) attribute->shown = attribute->definition.text;
}

template <class Interface>
class Entity : public DispatchObject<Interface> {
public:
    Entity(const EntityDefinition& definition, DrawingWindow*& window, const IID& dispatchIid, std::initializer_list<IID> answers)
        : DispatchObject<Interface>(definition.id, dispatchIid, answers, true), window_(window) {
        state_.definition = definition;
        state_.shown = definition.text;
        state_.dispatch = static_cast<Interface*>(this);
        if (definition.hasDictionary) dictionary_ = new ExtensionDictionary(definition.id, definition.dictionary);
    }

    STDMETHODIMP get_HasExtensionDictionary(VARIANT_BOOL* has) noexcept override {
        return this->Call("HasExtensionDictionary.get", 0, "", [&](std::string& results) {
            if (has == nullptr) return E_POINTER;
            *has = dictionary_ ? VARIANT_TRUE : VARIANT_FALSE;
            results += std::string(" result=") + (dictionary_ ? "-1" : "0");
            return S_OK;
        });
    }
    // Makes the dictionary where there is none, as the CAD application does: the drawing changes.
    STDMETHODIMP GetExtensionDictionary(IDispatch** dictionary) noexcept override {
        return this->Call("GetExtensionDictionary", 0, "", [&](std::string& results) {
            if (dictionary == nullptr) return E_POINTER;
            *dictionary = nullptr;
            if (!dictionary_) {
                dictionary_ = new ExtensionDictionary(state_.definition.id, {});
                state_.definition.hasDictionary = true;
                results += " created=yes";
            }
            results += " result=" + dictionary_->Name();
            return this->template HandOut<IDispatch>(dictionary_.Get(), IID_IDispatch, dictionary);
        });
    }

    [[nodiscard]] EntityState& State() { return state_; }

    STDMETHODIMP get_Handle(BSTR* handle) noexcept override {
        return this->Call("Handle.get", 0, "", [&](std::string& results) {
            return this->TextResult(AsU16(std::wstring(state_.definition.id.begin(), state_.definition.id.end())), handle, results);
        });
    }
    STDMETHODIMP get_ObjectName(BSTR* name) noexcept override {
        return this->Call("ObjectName.get", 0, "", [&](std::string& results) {
            const std::string text = ObjectNameOf(state_.definition.kind);
            return this->TextResult(std::u16string(text.begin(), text.end()), name, results);
        });
    }
    STDMETHODIMP Update() noexcept override {
        return this->Call("Update", 0, "", [&](std::string&) {
            ShowWritten(state_);
            if (window_ != nullptr) window_->Redraw(state_);
            return S_OK;
        });
    }
    STDMETHODIMP get_Layer(BSTR* layer) noexcept override {
        return this->Call("Layer.get", 0, "", [&](std::string& results) {
            return this->TextResult(state_.definition.layer, layer, results);
        });
    }

protected:
    // Whether the entity is on a locked layer, where the CAD application refuses to change it: the
    // write fails with kOnLockedLayer, logged refused=locked-layer, and changes nothing.
    [[nodiscard]] bool RefusedOnLockedLayer(std::string& results) const {
        const LayerDefinition* layer = FindLayer(Server::Get().scenario, state_.definition.layer);
        if (layer == nullptr || !layer->locked) return false;
        results += " refused=locked-layer";
        return true;
    }

    // The text member of text-like entities: TextString or TextOverride.
    HRESULT ReadText(const char* operation, BSTR* text) noexcept {
        return this->Call(operation, 0, "", [&](std::string& results) {
            return this->TextResult(state_.definition.text, text, results);
        });
    }
    // fields: the written text is a field code, its expressions become fields (a text's TextString
    // from release 16 on).
    HRESULT WriteText(const char* operation, BSTR text, bool fields = false) noexcept {
        std::string arguments;
        try {
            arguments = " value=" + QuoteText(FromBstr(text));
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return this->Call(operation, 0, arguments, [&](std::string& results) {
            if (RefusedOnLockedLayer(results)) return kOnLockedLayer;
            if (fields) {
                const int count = SetFieldCode(state_.definition, FromBstr(text), Server::Get().scenario.fields);
                if (count > 0) results += " fields=" + std::to_string(count);
            } else {
                state_.definition.text = FromBstr(text);
            }
            Server::Get().undo.Wrote();
            if (window_ != nullptr) window_->Written(state_);
            return S_OK;
        });
    }

    EntityState state_;
    DrawingWindow*& window_;
    ComPtr<ExtensionDictionary> dictionary_;
};

// Attributes, attribute definitions, multileaders and tolerances (geometric tolerances in feature
// control frames). A multileader and a tolerance answer the text interface only (TextString, no
// FieldCode); an attribute and an attribute definition also answer TagString, and in a newer release
// MTextAttribute and MTextAttributeContent.
class TextEntity final : public Entity<IStandinMultilineAttribute> {
public:
    TextEntity(const EntityDefinition& definition, DrawingWindow*& window)
        : Entity(definition, window, DispatchIid(definition.kind), Answers(definition.kind)) {}

    STDMETHODIMP get_MTextAttribute(VARIANT_BOOL* multiline) noexcept override {
        return Call("MTextAttribute.get", 0, "", [&](std::string& results) {
            if (multiline == nullptr) return E_POINTER;
            const bool answer = IsMultiline();
            *multiline = answer ? VARIANT_TRUE : VARIANT_FALSE;
            results += std::string(" result=") + (answer ? "-1" : "0");
            return S_OK;
        });
    }

    // A multiline attribute's TextString reads its text without the codes (the reference does not say
    // what it gives; this is the harsher reading), and a text written through it replaces the content,
    // codes and all. Its content, with the codes, is MTextAttributeContent.
    STDMETHODIMP get_TextString(BSTR* text) noexcept override {
        if (!IsMultiline()) return ReadText("TextString.get", text);
        return Call("TextString.get", 0, "", [&](std::string& results) {
            return TextResult(TextWithoutCodes(state_.definition.text), text, results);
        });
    }
    // A text written to a multileader whose content is a block makes its content that text.
    STDMETHODIMP put_TextString(BSTR text) noexcept override {
        const bool blockContent = state_.definition.kind == EntityKind::MLeader && !state_.definition.name.empty();
        const HRESULT result = WriteText("TextString.put", text);
        if (SUCCEEDED(result) && blockContent) {
            state_.definition.name.clear();
            try {
                Server::Get().log.Line("content " + Name() + " replaced=block");
            } catch (...) {
            }
        }
        return result;
    }
    STDMETHODIMP get_MTextAttributeContent(BSTR* content) noexcept override {
        return ReadText("MTextAttributeContent.get", content);
    }
    STDMETHODIMP put_MTextAttributeContent(BSTR content) noexcept override {
        return WriteText("MTextAttributeContent.put", content);
    }
    STDMETHODIMP get_TagString(BSTR* tag) noexcept override {
        return Call("TagString.get", 0, "", [&](std::string& results) {
            return TextResult(state_.definition.name, tag, results);
        });
    }

private:
    [[nodiscard]] bool IsMultiline() const {
        const std::vector<std::string>& ids = Server::Get().scenario.multilineAttributes;
        return Multiline(state_.definition.kind) && std::find(ids.begin(), ids.end(), state_.definition.id) != ids.end();
    }

    static bool IsAttribute(EntityKind kind) { return kind == EntityKind::Attribute || kind == EntityKind::AttributeDefinition; }

    // Release 15 has no multiline attributes: its attributes do not know the name MTextAttribute.
    static bool Multiline(EntityKind kind) { return IsAttribute(kind) && !Server::Get().release.IsRelease15(); }

    static const IID& DispatchIid(EntityKind kind) {
        if (!IsAttribute(kind)) return IID_IStandinText;
        return Multiline(kind) ? IID_IStandinMultilineAttribute : IID_IStandinAttribute;
    }

    static std::initializer_list<IID> Answers(EntityKind kind) {
        static const std::initializer_list<IID> text = {IID_IStandinEntity, IID_IStandinText};
        static const std::initializer_list<IID> attribute = {IID_IStandinEntity, IID_IStandinText, IID_IStandinAttribute};
        static const std::initializer_list<IID> multiline = {IID_IStandinEntity, IID_IStandinText, IID_IStandinAttribute,
                                                             IID_IStandinMultilineAttribute};
        if (!IsAttribute(kind)) return text;
        return Multiline(kind) ? multiline : attribute;
    }
};

// Single-line and multi-line text. From release 16 on they have fields: the definition's text is what
// TextString shows (each field's value), its fieldCode the text with the expressions, which FieldCode
// answers; a TextString written with expressions has them as fields again. Release 15's texts do not
// know the name FieldCode.
class FieldTextEntity final : public Entity<IStandinFieldText> {
public:
    FieldTextEntity(const EntityDefinition& definition, DrawingWindow*& window)
        : Entity(definition, window, HasFields() ? IID_IStandinFieldText : IID_IStandinText, Answers()) {}

    STDMETHODIMP get_TextString(BSTR* text) noexcept override { return ReadText("TextString.get", text); }
    STDMETHODIMP put_TextString(BSTR text) noexcept override { return WriteText("TextString.put", text, HasFields()); }
    STDMETHODIMP FieldCode(BSTR* code) noexcept override {
        return Call("FieldCode", 0, "", [&](std::string& results) {
            const EntityDefinition& definition = state_.definition;
            return TextResult(definition.fieldCode.empty() ? definition.text : definition.fieldCode, code, results);
        });
    }

private:
    static bool HasFields() { return Server::Get().release.Number() >= kFieldsFrom; }

    static std::initializer_list<IID> Answers() {
        static const std::initializer_list<IID> release15 = {IID_IStandinEntity, IID_IStandinText};
        static const std::initializer_list<IID> fields = {IID_IStandinEntity, IID_IStandinText, IID_IStandinFieldText};
        return HasFields() ? fields : release15;
    }
};

class LineEntity final : public Entity<IStandinEntity> {
public:
    LineEntity(const EntityDefinition& definition, DrawingWindow*& window)
        : Entity(definition, window, IID_IStandinEntity, {IID_IStandinEntity}) {}
};

class BlockEntity final : public Entity<IStandinBlockReference> {
public:
    BlockEntity(const EntityDefinition& definition, DrawingWindow*& window)
        : Entity(definition, window, IID_IStandinBlockReference, {IID_IStandinEntity, IID_IStandinBlockReference}) {}

    // The block owns its attributes.
    void AddAttribute(TextEntity* attribute) {
        attributes_.emplace_back(attribute);
        state_.attributes.push_back(&attribute->State());
    }

    STDMETHODIMP get_HasAttributes(VARIANT_BOOL* has) noexcept override {
        return Call("HasAttributes.get", 0, "", [&](std::string& results) {
            if (has == nullptr) return E_POINTER;
            *has = attributes_.empty() ? VARIANT_FALSE : VARIANT_TRUE;
            results += std::string(" result=") + (attributes_.empty() ? "0" : "-1");
            return S_OK;
        });
    }
    STDMETHODIMP GetAttributes(VARIANT* attributes) noexcept override {
        return Call("GetAttributes", 0, "", [&](std::string& results) {
            if (attributes == nullptr) return E_POINTER;
            VariantInit(attributes);
            // An array of variants, each holding one attribute's IDispatch: Wine's marshaller leaks the
            // elements of an array of VT_DISPATCH (they stay connected after the client has let go).
            SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(attributes_.size()));
            if (array == nullptr) return E_OUTOFMEMORY;
            for (LONG i = 0; i < static_cast<LONG>(attributes_.size()); ++i) {
                VARIANT element;
                VariantInit(&element);
                V_VT(&element) = VT_DISPATCH;
                V_DISPATCH(&element) = attributes_[i]->State().dispatch;
                Server::Get().handingOut.emplace_back(V_DISPATCH(&element), IID_IDispatch);
                // SafeArrayPutElement copies the variant, taking its own reference.
                const HRESULT put = SafeArrayPutElement(array, &i, &element);
                if (FAILED(put)) {
                    SafeArrayDestroy(array);
                    return put;
                }
            }
            V_VT(attributes) = VT_ARRAY | VT_VARIANT;
            V_ARRAY(attributes) = array;
            results += " result=" + std::to_string(attributes_.size());
            return S_OK;
        });
    }
    STDMETHODIMP get_Name(BSTR* name) noexcept override {
        return Call("Name.get", 0, "", [&](std::string& results) { return TextResult(state_.definition.name, name, results); });
    }

private:
    std::vector<ComPtr<TextEntity>> attributes_;
};

class DimensionEntity final : public Entity<IStandinDimension> {
public:
    DimensionEntity(const EntityDefinition& definition, DrawingWindow*& window)
        : Entity(definition, window, IID_IStandinDimension, {IID_IStandinEntity, IID_IStandinDimension}) {}

    STDMETHODIMP get_TextOverride(BSTR* text) noexcept override { return ReadText("TextOverride.get", text); }
    STDMETHODIMP put_TextOverride(BSTR text) noexcept override { return WriteText("TextOverride.put", text); }
    STDMETHODIMP get_Measurement(double* value) noexcept override {
        return Call("Measurement.get", 0, "", [&](std::string& results) {
            if (value == nullptr) return E_POINTER;
            *value = std::hypot(double(state_.definition.x2 - state_.definition.x1), double(state_.definition.y2 - state_.definition.y1));
            results += " result=" + std::to_string(*value);
            return S_OK;
        });
    }
};

#include "cadstandin/table_entity.inc"

// The window the entities redraw in; set once the window exists (it is made after the drawing).
DrawingWindow* g_window = nullptr;

// ---------------------------------------------------------------------------------------------------------
// The pre-selection and the layers

// A selection set's Item index: an integer of any integer type (by value or by reference), as a
// LONG. `integer` is false for a value of any other type (a text, a real number); `number` is empty
// for an integer too large for a LONG.
struct IntegerIndex {
    bool integer = false;
    std::optional<LONG> number;
};

IntegerIndex IntegerIndexOf(const VARIANT& index) {
    const VARIANT* value = &index;
    if (V_VT(value) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(value) != nullptr) value = V_VARIANTREF(value);
    switch (V_VT(value) & ~VT_BYREF) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
    case VT_I8: case VT_UI8: case VT_INT: case VT_UINT:
        break;
    default:
        return {};
    }
    if ((V_VT(value) & VT_BYREF) && V_BYREF(value) == nullptr) return {};
    VARIANT number;
    VariantInit(&number);
    // A VT_I4 holds nothing to free, so the converted copy needs no VariantClear.
    if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(value), 0, VT_I4))) return {true, std::nullopt};
    return {true, V_I4(&number)};
}

// The document's PickfirstSelectionSet, "pickfirst": the entities gripped before a command (the
// scenario's preselect lines, or a selection rectangle in the window), in order. The window holds
// them and shows them highlighted; the set reads and changes them there.
class SelectionSet final : public DispatchObject<IStandinSelectionSet> {
public:
    SelectionSet(const Drawing& drawing, DrawingWindow& window)
        : DispatchObject(std::string(kPreselectionObject), IID_IStandinSelectionSet, {IID_IStandinSelectionSet}, false),
          window_(window) {
        std::vector<EntityState*> entities;
        for (const std::string& id : Server::Get().scenario.preselection) entities.push_back(drawing.Find(id));
        window_.SetPreselection(std::move(entities));
    }

    STDMETHODIMP get_Count(LONG* count) noexcept override {
        return Call("Count.get", 0, "", [&](std::string& results) {
            if (count == nullptr) return E_POINTER;
            *count = static_cast<LONG>(window_.Preselection().size());
            results += " result=" + std::to_string(*count);
            return S_OK;
        });
    }
    // The reference: Index an integer from 0 to Count - 1. It is silent on what else fails: an index
    // of no integer type fails with DISP_E_TYPEMISMATCH, an integer out of range with E_INVALIDARG.
    STDMETHODIMP Item(VARIANT index, IDispatch** entity) noexcept override {
        const IntegerIndex at = IntegerIndexOf(index);
        std::string arguments;
        try {
            arguments = !at.integer ? " index-type=" + std::to_string(V_VT(&index))
                        : at.number ? " index=" + std::to_string(*at.number)
                                    : std::string(" index=too-large");
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return Call("Item", 0, arguments, [&](std::string& results) {
            if (entity == nullptr) return E_POINTER;
            *entity = nullptr;
            if (!at.integer) return DISP_E_TYPEMISMATCH;
            const std::vector<EntityState*>& set = window_.Preselection();
            if (!at.number || *at.number < 0 || static_cast<std::size_t>(*at.number) >= set.size()) return E_INVALIDARG;
            EntityState* chosen = set[static_cast<std::size_t>(*at.number)];
            results += " result=" + chosen->definition.id;
            return HandOut<IDispatch>(chosen->dispatch, IID_IDispatch, entity);
        });
    }
    // Empties the set; the drawing's objects stay.
    STDMETHODIMP Clear() noexcept override {
        return Call("Clear", 0, "", [&](std::string& results) {
            results += " removed=" + std::to_string(window_.Preselection().size());
            window_.SetPreselection({});
            return S_OK;
        });
    }
    // Redraws the set's objects, as each one's Update does (each laid out and logged again).
    STDMETHODIMP Update() noexcept override {
        return Call("Update", 0, "", [&](std::string& results) {
            std::vector<EntityState*> entities;
            for (EntityState* entity : window_.Preselection()) {
                if (std::find(entities.begin(), entities.end(), entity) != entities.end()) continue;
                ShowWritten(*entity);
                entities.push_back(entity);
            }
            results += " redrawn=" + std::to_string(entities.size());
            window_.Redraw(entities);
            return S_OK;
        });
    }

    // The dump's line: what the set holds at that moment.
    void LogStateFirst(Log& log, const char* reason) const override {
        std::string ids;
        for (const EntityState* entity : window_.Preselection()) ids += (ids.empty() ? "" : ",") + entity->definition.id;
        log.Line("selection " + Name() + " reason=" + reason + " count=" + std::to_string(window_.Preselection().size()) +
                 " ids=" + ids);
    }

private:
    DrawingWindow& window_;
};

// One layer, "layer.<name>": its name and lock, as the scenario has them.
class LayerObject final : public DispatchObject<IStandinLayer> {
public:
    explicit LayerObject(const LayerDefinition& layer)
        : DispatchObject(LayerObjectName(layer.name), IID_IStandinLayer, {IID_IStandinLayer}, false), layer_(layer) {}

    STDMETHODIMP get_Name(BSTR* name) noexcept override {
        return Call("Name.get", 0, "", [&](std::string& results) { return TextResult(layer_.name, name, results); });
    }
    STDMETHODIMP get_Lock(VARIANT_BOOL* locked) noexcept override {
        return Call("Lock.get", 0, "", [&](std::string& results) {
            if (locked == nullptr) return E_POINTER;
            *locked = layer_.locked ? VARIANT_TRUE : VARIANT_FALSE;
            results += std::string(" result=") + (layer_.locked ? "-1" : "0");
            return S_OK;
        });
    }

private:
    const LayerDefinition& layer_;  // the server's scenario's, which outlives every object
};

// The document's Layers, "layers": every layer of the drawing, "0" first. Item by name (compared
// without regard to case; a name not there fails with the CAD application's "Key not found") or by
// an index from 0 to Count - 1 (out of range: E_INVALIDARG, the reference names no error).
class Layers final : public NamedCollection<IStandinLayers, LayerObject> {
public:
    Layers() : NamedCollection(std::string(kLayersObject), IID_IStandinLayers, {IID_IStandinLayers}, false) {
        for (const LayerDefinition& layer : Server::Get().scenario.layers) {
            Add(layer.name, ComPtr<LayerObject>(new LayerObject(layer)));
        }
    }
};

// ---------------------------------------------------------------------------------------------------------
// Application, document, utility

// The release served: its interfaces for the application, document and utility (a newer release's
// have release 15's layout, so the same objects serve both).
const StandinRelease& Served() { return Server::Get().release; }

std::string PromptText(const VARIANT& prompt, std::u16string& text) {
    const VARIANT* value = &prompt;
    if (V_VT(value) == (VT_VARIANT | VT_BYREF) && V_VARIANTREF(value) != nullptr) value = V_VARIANTREF(value);
    if (V_VT(value) == VT_BSTR) {
        text = FromBstr(V_BSTR(value));
    } else if (V_VT(value) == (VT_BSTR | VT_BYREF) && V_BSTRREF(value) != nullptr) {
        text = FromBstr(*V_BSTRREF(value));
    } else if (V_VT(value) == VT_ERROR || V_VT(value) == VT_EMPTY) {
        return " prompt=none";
    } else {
        return " prompt-type=" + std::to_string(V_VT(value));
    }
    return " prompt=" + QuoteText(text);
}

HRESULT PointVariant(double x, double y, VARIANT* point) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_R8, 0, 3);
    if (array == nullptr) return E_OUTOFMEMORY;
    double* values = nullptr;
    if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&values)))) {
        SafeArrayDestroy(array);
        return E_UNEXPECTED;
    }
    values[0] = x;
    values[1] = y;
    values[2] = 0;
    SafeArrayUnaccessData(array);
    V_VT(point) = VT_ARRAY | VT_R8;
    V_ARRAY(point) = array;
    return S_OK;
}

std::string WindowTitle(HWND window) {
    wchar_t title[256] = {};
    if (window != nullptr) GetWindowTextW(window, title, 256);
    return QuoteText(AsU16(title));
}

class Utility final : public DispatchObject<IStandinUtility> {
public:
    Utility(Drawing& drawing, DrawingWindow& window)
        : DispatchObject("util", Served().UtilityIid(), {Served().UtilityIid()}, false), drawing_(drawing), window_(window) {
        if (!Served().IsRelease15()) RefuseSlots();
    }

    CADSTANDIN_PLACEHOLDER(7) CADSTANDIN_PLACEHOLDER(8) CADSTANDIN_PLACEHOLDER(9) CADSTANDIN_PLACEHOLDER_TENS(1)
    CADSTANDIN_PLACEHOLDER(20) CADSTANDIN_PLACEHOLDER(21) CADSTANDIN_PLACEHOLDER(22) CADSTANDIN_PLACEHOLDER(23)
    CADSTANDIN_PLACEHOLDER(24) CADSTANDIN_PLACEHOLDER(25)

    STDMETHODIMP GetEntity(IDispatch** object, VARIANT* point, VARIANT prompt) noexcept override {
        std::u16string promptText;
        std::string arguments;
        try {
            arguments = PromptText(prompt, promptText);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        return Call("GetEntity", 26, arguments, [&](std::string& results) {
            if (object == nullptr || point == nullptr) return E_POINTER;
            *object = nullptr;
            VariantInit(point);
            if (window_.Picking()) return HRESULT_FROM_WIN32(ERROR_BUSY);
            return Pick(promptText, arguments, object, point, results);
        });
    }

private:
    HRESULT Pick(const std::u16string& prompt, const std::string& promptField, IDispatch** object, VARIANT* point,
                 std::string& results) {
        Server& server = Server::Get();
        const int number = ++server.picks;
        const HWND foreground = GetForegroundWindow();
        PickOutcomeDefinition next;  // an empty queue waits for a click
        const bool queued = !server.scenario.picks.empty();
        if (queued) {
            next = server.scenario.picks.front();
            server.scenario.picks.pop_front();
        }
        const bool click = next.kind == PickKind::Click;
        server.log.Line("pick-begin n=" + std::to_string(number) + promptField +
                        " foreground=" + (foreground != nullptr && foreground == window_.Handle() ? "yes" : "no") +
                        " foreground-title=" + WindowTitle(foreground) + " source=" + (click ? "click" : "queue"));

        PickOutcome outcome;
        HRESULT result = kPickFailed;
        std::string ending;
        switch (next.kind) {
        case PickKind::Entity:
            outcome = window_.QueuedPick(*drawing_.Find(next.id));
            break;
        case PickKind::Miss:
            outcome.kind = PickOutcome::Kind::Miss;
            break;
        case PickKind::Cancel:
            outcome.kind = PickOutcome::Kind::Cancel;
            break;
        case PickKind::Fail:
            result = static_cast<HRESULT>(next.result);
            ending = "fail";
            break;
        case PickKind::Vanish:
            server.log.Line("pick-end n=" + std::to_string(number) + " outcome=vanish");
            TerminateProcess(GetCurrentProcess(), 99);
            break;
        case PickKind::Click:
            outcome = window_.WaitForPick(prompt, server.scenario.pickTimeoutSeconds);
            break;
        }
        if (ending.empty()) {
            switch (outcome.kind) {
            case PickOutcome::Kind::Entity: ending = "entity id=" + outcome.entity->definition.id; break;
            case PickOutcome::Kind::Miss: ending = "miss"; break;
            case PickOutcome::Kind::Cancel: ending = "cancel"; break;
            case PickOutcome::Kind::Timeout: ending = "timeout"; break;
            }
            if (outcome.kind == PickOutcome::Kind::Entity) {
                result = PointVariant(outcome.x, outcome.y, point);
                if (SUCCEEDED(result)) result = HandOut(outcome.entity->dispatch, IID_IDispatch, object);
            }
        }
        server.log.Line("pick-end n=" + std::to_string(number) + " outcome=" + ending + " hr=" + HexResult(result));
        server.log.Line("pick-calls n=" + std::to_string(number) + (server.totals - server.atLastPickEnd).Fields());
        server.atLastPickEnd = server.totals;
        if (SUCCEEDED(result)) results += " result=" + outcome.entity->definition.id;
        return result;
    }

    Drawing& drawing_;
    DrawingWindow& window_;
};

class Document final : public DispatchObject<IStandinDocument> {
public:
    Document(Drawing& drawing, DrawingWindow& window, std::u16string name)
        : DispatchObject("doc", Served().DocumentIid(), {Served().DocumentIid()}, false),
          utility_(new Utility(drawing, window)),
          pickfirst_(new SelectionSet(drawing, window)),
          layers_(new Layers()),
          window_(window),
          name_(std::move(name)) {
        if (!Served().IsRelease15()) RefuseSlots();
    }
    ~Document() override = default;

    STDMETHODIMP get_Name(BSTR* name) noexcept override {
        return Call("Name.get", 7, "", [&](std::string& results) { return TextResult(name_, name, results); });
    }
    CADSTANDIN_PLACEHOLDER(8) CADSTANDIN_PLACEHOLDER(9) CADSTANDIN_PLACEHOLDER_TENS(1) CADSTANDIN_PLACEHOLDER_TENS(2)
    CADSTANDIN_PLACEHOLDER_TENS(3) CADSTANDIN_PLACEHOLDER_TENS(4) CADSTANDIN_PLACEHOLDER_TENS(5)
    STDMETHODIMP get_Utility(IStandinUtility** utility) noexcept override {
        return Call("Utility.get", 60, "", [&](std::string&) {
            return HandOut<IStandinUtility>(utility_.Get(), Served().UtilityIid(), utility);
        });
    }
    // Their slots are the stand-in's own, after Utility's; clients call them by name.
    STDMETHODIMP StartUndoMark() noexcept override {
        return Call("StartUndoMark", 61, "", [&](std::string& results) {
            Server::Get().undo.Start();
            results += " open=" + std::to_string(Server::Get().undo.depth);
            return S_OK;
        });
    }
    STDMETHODIMP EndUndoMark() noexcept override {
        return Call("EndUndoMark", 62, "", [&](std::string& results) {
            UndoSteps& undo = Server::Get().undo;
            if (undo.depth == 0) results += " unmatched=yes";
            const int texts = undo.End();
            results += " open=" + std::to_string(undo.depth) + " steps=" + std::to_string(undo.steps);
            if (texts > 0) {
                results += " group=" + std::to_string(texts);
                window_.UndoGroupEnded(texts);
            }
            return S_OK;
        });
    }
    // Every access hands out the same set, as the drawing has one pre-selection.
    STDMETHODIMP get_PickfirstSelectionSet(IDispatch** set) noexcept override {
        return Call("PickfirstSelectionSet.get", 63, "", [&](std::string& results) {
            results += " result=" + pickfirst_->Name();
            return HandOut<IDispatch>(pickfirst_.Get(), IID_IDispatch, set);
        });
    }
    STDMETHODIMP get_Layers(IDispatch** layers) noexcept override {
        return Call("Layers.get", 64, "", [&](std::string& results) {
            results += " result=" + layers_->Name();
            return HandOut<IDispatch>(layers_.Get(), IID_IDispatch, layers);
        });
    }

private:
    ComPtr<Utility> utility_;
    ComPtr<SelectionSet> pickfirst_;
    ComPtr<Layers> layers_;
    DrawingWindow& window_;
    std::u16string name_;
};

class Application final : public DispatchObject<IStandinApplication> {
public:
    Application(Drawing& drawing, DrawingWindow& window, std::u16string documentName)
        : DispatchObject("app", Served().ApplicationIid(), {Served().ApplicationIid()}, false),
          document_(new Document(drawing, window, std::move(documentName))),
          window_(window) {
        if (!Served().IsRelease15()) RefuseSlots();
    }

    STDMETHODIMP get_Visible(VARIANT_BOOL* visible) noexcept override {
        return Call("Visible.get", 7, "", [&](std::string& results) {
            if (visible == nullptr) return E_POINTER;
            *visible = window_.Visible() ? VARIANT_TRUE : VARIANT_FALSE;
            results += " result=" + std::to_string(*visible);
            return S_OK;
        });
    }
    STDMETHODIMP put_Visible(VARIANT_BOOL visible) noexcept override {
        return Call("Visible.put", 8, " value=" + std::to_string(visible), [&](std::string&) {
            window_.Show(visible != VARIANT_FALSE);
            return S_OK;
        });
    }
    STDMETHODIMP get_Name(BSTR* name) noexcept override {
        return Call("Name.get", 9, "", [&](std::string& results) { return TextResult(u"AutoCAD Stand-in", name, results); });
    }
    STDMETHODIMP get_Caption(BSTR* caption) noexcept override {
        return Call("Caption.get", 10, "", [&](std::string& results) { return TextResult(window_.Title(), caption, results); });
    }
    CADSTANDIN_PLACEHOLDER(11)
    STDMETHODIMP get_ActiveDocument(IStandinDocument** document) noexcept override {
        return Call("ActiveDocument.get", 12, "", [&](std::string&) {
            return HandOut<IStandinDocument>(document_.Get(), Served().DocumentIid(), document);
        });
    }
    STDMETHODIMP Quit() noexcept override {
        return Call("Quit", 13, "", [&](std::string&) {
            PostMessageW(window_.Handle(), WM_CLOSE, 0, 0);
            return S_OK;
        });
    }

private:
    ComPtr<Document> document_;
    DrawingWindow& window_;
};

}  // namespace

namespace {

// Makes one entity object, with no reference yet.
template <class Object>
Object* MakeEntity(const EntityDefinition& definition, EntityState*& state, IUnknown*& identity) {
    auto* object = new Object(definition, g_window);
    state = &object->State();
    identity = object->Identity();
    return object;
}

}  // namespace

Drawing::Drawing(const std::vector<EntityDefinition>& definitions) {
    for (const EntityDefinition& definition : definitions) {
        EntityState* state = nullptr;
        IUnknown* identity = nullptr;
        switch (definition.kind) {
        case EntityKind::Text:
        case EntityKind::MText:
            MakeEntity<FieldTextEntity>(definition, state, identity);
            break;
        case EntityKind::MLeader:
        case EntityKind::Tolerance:
        case EntityKind::AttributeDefinition:
            MakeEntity<TextEntity>(definition, state, identity);
            break;
        case EntityKind::Attribute: {
            // The block owns its attributes.
            TextEntity* attribute = MakeEntity<TextEntity>(definition, state, identity);
            static_cast<BlockEntity*>(static_cast<IStandinBlockReference*>(Find(definition.block)->dispatch))->AddAttribute(attribute);
            states_.push_back(state);
            continue;
        }
        case EntityKind::Line:
            MakeEntity<LineEntity>(definition, state, identity);
            break;
        case EntityKind::Block:
            MakeEntity<BlockEntity>(definition, state, identity);
            break;
        case EntityKind::Dimension:
            MakeEntity<DimensionEntity>(definition, state, identity);
            break;
        case EntityKind::Table:
            MakeEntity<TableEntity>(definition, state, identity);
            break;
        }
        objects_.emplace_back(identity);
        states_.push_back(state);
    }
}

Drawing::~Drawing() = default;

std::vector<EntityState*> Drawing::TopLevel() const {
    std::vector<EntityState*> top;
    for (EntityState* state : states_) {
        if (state->definition.kind != EntityKind::Attribute) top.push_back(state);
    }
    return top;
}

EntityState* Drawing::Find(std::string_view id) const {
    for (EntityState* state : states_) {
        if (state->definition.id == id) return state;
    }
    return nullptr;
}

ComPtr<IStandinApplication> CreateApplication(Drawing& drawing, DrawingWindow& window) {
    g_window = &window;
    return ComPtr<IStandinApplication>(new Application(drawing, window, Server::Get().scenario.title));
}

}  // namespace cadstandin
