#include "cadlink/com/com_entity.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cadlink/com/variant.h"
#include "cadlink/tests/busy_clock.h"
#include "cadlink/tests/failure_of.h"
#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane::com {
namespace {

using Microsoft::WRL::ComPtr;

// Calls paced by a clock that does not really wait.
std::shared_ptr<ComCalls> TestCalls() {
    return std::make_shared<ComCalls>(std::make_unique<testing_clock::SteppedClock>());
}

// The smallest dispatch object that shows how the binding talks to an entity: it counts name
// look-ups and references, keeps TextString, answers ObjectName when it has one, hands out a
// configured GetAttributes result, and can raise an exception through Invoke.
class FakeEntity final : public IDispatch {
public:
    explicit FakeEntity(std::u16string text = u"") : text_(std::move(text)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) {
            return E_INVALIDARG;
        }
        const std::wstring name = names[0];
        ++lookups[name];
        const auto found = kIds.find(name);
        if (found == kIds.end() || (found->second == kObjectName && !objectName)) {
            *ids = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        *ids = found->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override {
        ++invokes;
        if (rejections > 0) {
            --rejections;
            return RPC_E_CALL_REJECTED;
        }
        if (raise != S_OK) {
            exception->bstrDescription = SysAllocString(L"refused");
            exception->scode = raise;
            return DISP_E_EXCEPTION;
        }
        if ((id == kTextString || id == kObjectName) && flags == DISPATCH_PROPERTYGET && oddAnswer) {
            oddAnswer(result);
            return S_OK;
        }
        if (id == kObjectName && flags == DISPATCH_PROPERTYGET) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(objectName->data()),
                                                static_cast<UINT>(objectName->size()));
            return S_OK;
        }
        if (id == kTextString && flags == DISPATCH_PROPERTYGET) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text_.data()),
                                                static_cast<UINT>(text_.size()));
            return S_OK;
        }
        if (id == kTextString && flags == DISPATCH_PROPERTYPUT) {
            // A property write names its one argument DISPID_PROPERTYPUT.
            if (parameters->cArgs != 1 || parameters->cNamedArgs != 1 ||
                parameters->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT || parameters->rgvarg[0].vt != VT_BSTR) {
                return DISP_E_PARAMNOTOPTIONAL;
            }
            text_ = TextOf(parameters->rgvarg[0].bstrVal);
            return S_OK;
        }
        if (id == kUpdate && flags == DISPATCH_METHOD) {
            ++updates;
            return S_OK;
        }
        if (id == kGetAttributes && flags == DISPATCH_METHOD) {
            return VariantCopy(result, attributes.Get());
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    [[nodiscard]] const std::u16string& Text() const { return text_; }

    ULONG references = 0;
    std::map<std::wstring, int> lookups;
    int invokes = 0;
    int updates = 0;
    HRESULT raise = S_OK;
    // How many Invoke calls COM rejects (the application busy) before they go through.
    int rejections = 0;
    Variant attributes;
    // When set, answers a TextString or ObjectName read with whatever it leaves in the result.
    std::function<void(VARIANT*)> oddAnswer;
    std::optional<std::u16string> objectName;

private:
    static constexpr DISPID kTextString = 1;
    static constexpr DISPID kUpdate = 2;
    static constexpr DISPID kGetAttributes = 3;
    static constexpr DISPID kObjectName = 4;
    static inline const std::map<std::wstring, DISPID> kIds = {{L"TextString", kTextString},
                                                               {L"Update", kUpdate},
                                                               {L"GetAttributes", kGetAttributes},
                                                               {L"ObjectName", kObjectName}};

    std::u16string text_;
};

// Rule: each name is looked up once per entity, however often it is used; the entity holds one
// reference and lets it go with its last handle.
TEST(ComEntityTest, LooksUpEachNameOnceAndLetsGo) {
    FakeEntity fake(u"%%Unote");
    {
        const std::shared_ptr<CadEntity> entity = MakeComEntity(&fake, TestCalls());
        EXPECT_EQ(fake.references, 1u);
        EXPECT_EQ(entity->ReadTextString(), u"%%Unote");
        entity->WriteTextString(u"%%uNOTE");
        EXPECT_EQ(entity->ReadTextString(), u"%%uNOTE");
        entity->Update();
        entity->Update();
        EXPECT_EQ(fake.updates, 2);
    }
    EXPECT_EQ(fake.references, 0u);
    EXPECT_EQ(fake.lookups, (std::map<std::wstring, int>{{L"TextString", 1}, {L"Update", 1}}));
    EXPECT_EQ(fake.invokes, 5);
}

// Rule: release 15 has no fields and no multiline attributes: its entities answer 438 for FieldCode,
// the extension dictionary and a multiline attribute's members without asking the CAD application
// anything; a newer release's entity asks by name.
TEST(ComEntityTest, Release15IsNotAskedAboutFields) {
    FakeEntity fake(u"note");
    const std::shared_ptr<CadEntity> old = MakeComEntity(&fake, TestCalls(), EntityRelease::Release15);
    EXPECT_EQ(FailureOf([&] { (void)old->ReadFieldCode(); }), 438);
    EXPECT_EQ(FailureOf([&] { (void)old->HasExtensionDictionary(); }), 438);
    EXPECT_EQ(FailureOf([&] { (void)old->ExtensionDictionaryHolds(u"ACAD_FIELD"); }), 438);
    EXPECT_EQ(FailureOf([&] { (void)old->ReadMTextAttribute(); }), 438);
    EXPECT_EQ(FailureOf([&] { (void)old->ReadMTextAttributeContent(); }), 438);
    EXPECT_EQ(FailureOf([&] { old->WriteMTextAttributeContent(u"x"); }), 438);
    EXPECT_EQ(fake.invokes, 0);
    EXPECT_TRUE(fake.lookups.empty());

    const std::shared_ptr<CadEntity> newer = MakeComEntity(&fake, TestCalls(), EntityRelease::Newer);
    EXPECT_EQ(FailureOf([&] { (void)newer->ReadFieldCode(); }), 438);
    EXPECT_EQ(fake.lookups, (std::map<std::wstring, int>{{L"FieldCode", 1}}));
}

// Rule: a text is written and read whole: U+0000 inside and any length.
TEST(ComEntityTest, TextTravelsWhole) {
    FakeEntity fake;
    const std::shared_ptr<CadEntity> entity = MakeComEntity(&fake, TestCalls());
    std::u16string text(70'000, u'x');
    text[3] = u'\0';
    text.back() = u'\0';
    entity->WriteTextString(text);
    EXPECT_EQ(fake.Text(), text);
    EXPECT_EQ(entity->ReadTextString(), text);
}

// Rule: a member the entity lacks is 438; an exception raised through Invoke is its scode.
TEST(ComEntityTest, FailuresBecomeNumbers) {
    FakeEntity fake(u"abc");
    const std::shared_ptr<CadEntity> entity = MakeComEntity(&fake, TestCalls());
    EXPECT_EQ(FailureOf([&] { (void)entity->ReadTextOverride(); }), 438);
    EXPECT_EQ(FailureOf([&] { (void)entity->HasAttributes(); }), 438);
    fake.raise = E_ACCESSDENIED;
    EXPECT_EQ(FailureOf([&] { entity->WriteTextString(u"ABC"); }), -2147024891);
    EXPECT_EQ(fake.Text(), u"abc");
}

// Rule: a call COM's channel turns away (the application busy) never ran: it is tried again,
// read, write or method alike, until it goes through; after 10 s of rejections the number is the
// rejection's.
TEST(ComEntityTest, CallsTheChannelRejectsAreRetried) {
    FakeEntity fake(u"abc");
    const std::shared_ptr<CadEntity> entity = MakeComEntity(&fake, TestCalls());
    fake.rejections = 3;
    EXPECT_EQ(entity->ReadTextString(), u"abc");
    EXPECT_EQ(fake.invokes, 4);
    fake.rejections = 2;
    entity->WriteTextString(u"ABC");
    EXPECT_EQ(fake.Text(), u"ABC");
    EXPECT_EQ(fake.invokes, 7);
    fake.rejections = 1'000;
    EXPECT_EQ(FailureOf([&] { entity->Update(); }), error_number::kCallRejected);
    EXPECT_EQ(fake.updates, 0);
    EXPECT_GT(fake.invokes, 20);
}

// Rule: a busy answer the member itself raises as its exception comes from a member that ran: a
// read is tried again, a write or a method is not (it may have done part of its work).
TEST(ComEntityTest, BusyExceptionsAreRetriedOnlyForReads) {
    for (const HRESULT busy : {RPC_E_SERVERCALL_RETRYLATER, RPC_E_CALL_REJECTED}) {
        FakeEntity fake(u"abc");
        const std::shared_ptr<CadEntity> entity = MakeComEntity(&fake, TestCalls());
        fake.raise = busy;
        const int number = busy == RPC_E_CALL_REJECTED ? error_number::kCallRejected : error_number::kCallRetryLater;
        EXPECT_EQ(FailureOf([&] { (void)entity->ReadTextString(); }), number);
        EXPECT_GT(fake.invokes, 20);
        fake.invokes = 0;
        EXPECT_EQ(FailureOf([&] { entity->WriteTextString(u"ABC"); }), number);
        EXPECT_EQ(fake.invokes, 1);
        EXPECT_EQ(FailureOf([&] { entity->Update(); }), number);
        EXPECT_EQ(fake.invokes, 2);
    }
}

// Rule: ObjectName is read by name, once looked up; an entity without it is 438.
TEST(ComEntityTest, ObjectNameByName) {
    FakeEntity fake(u"{\\C1;abc}");
    fake.objectName = u"AcDbMText";
    const std::shared_ptr<CadEntity> entity = MakeComEntity(&fake, TestCalls());
    EXPECT_EQ(entity->ObjectName(), u"AcDbMText");
    EXPECT_EQ(entity->ObjectName(), u"AcDbMText");
    EXPECT_EQ(fake.lookups[L"ObjectName"], 1);
    FakeEntity nameless;
    EXPECT_EQ(FailureOf([&] { (void)MakeComEntity(&nameless, TestCalls())->ObjectName(); }), 438);
}

struct OddAnswer {
    const char* name;
    std::function<void(VARIANT*)> fill;
};

class OddAnswerTest : public testing::TestWithParam<OddAnswer> {};

// Rule: a text read by name must come back as a string; anything else is a type mismatch, never
// coerced into a text that would be written over the user's (or into a name that would decide how
// the text is read).
TEST_P(OddAnswerTest, IsTypeMismatch) {
    FakeEntity fake(u"kept");
    fake.objectName = u"AcDbMText";
    fake.oddAnswer = GetParam().fill;
    {
        const std::shared_ptr<CadEntity> entity = MakeComEntity(&fake, TestCalls());
        EXPECT_EQ(FailureOf([&] { (void)entity->ReadTextString(); }), -2147352571);
        EXPECT_EQ(FailureOf([&] { (void)entity->ObjectName(); }), -2147352571);
    }
    EXPECT_EQ(fake.references, 0u);
}

FakeEntity g_otherObject(u"another object's text");

const OddAnswer kOddAnswers[] = {
    {"UntouchedResult", [](VARIANT*) {}},
    {"Empty", [](VARIANT* v) { v->vt = VT_EMPTY; }},
    {"Null", [](VARIANT* v) { v->vt = VT_NULL; }},
    {"Number", [](VARIANT* v) { v->vt = VT_I4; v->lVal = 42; }},
    {"Object", [](VARIANT* v) { v->vt = VT_DISPATCH; v->pdispVal = &g_otherObject; g_otherObject.AddRef(); }},
};

INSTANTIATE_TEST_SUITE_P(Answers, OddAnswerTest, testing::ValuesIn(kOddAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

// Builds a one-dimensional array of the attribute objects, as objects or as variants holding them.
Variant AttributeArray(const std::vector<FakeEntity*>& attributes, VARTYPE element) {
    SAFEARRAY* array = SafeArrayCreateVector(element, 0, static_cast<ULONG>(attributes.size()));
    for (LONG i = 0; i < static_cast<LONG>(attributes.size()); ++i) {
        if (element == VT_DISPATCH) {
            SafeArrayPutElement(array, &i, static_cast<IDispatch*>(attributes[i]));
        } else {
            // A missing attribute leaves its element empty.
            VARIANT item;
            VariantInit(&item);
            if (attributes[i] != nullptr) {
                item.vt = VT_DISPATCH;
                item.pdispVal = attributes[i];
            }
            SafeArrayPutElement(array, &i, &item);
        }
    }
    Variant result;
    VARIANT* slot = result.ReleaseAndGetAddressOf();
    slot->vt = static_cast<VARTYPE>(VT_ARRAY | element);
    slot->parray = array;
    return result;
}

class GetAttributesTest : public testing::TestWithParam<VARTYPE> {};

// Rule: GetAttributes gives one entity per attribute, whether the array holds objects or variants
// holding objects, and every attribute is let go with its handles.
TEST_P(GetAttributesTest, GivesEveryAttribute) {
    FakeEntity first(u"maker");
    FakeEntity second(std::u16string(u"a\0b", 3));
    FakeEntity block;
    block.attributes = AttributeArray({&first, &second}, GetParam());
    {
        const std::shared_ptr<CadEntity> entity = MakeComEntity(&block, TestCalls());
        const std::vector<std::shared_ptr<CadEntity>> attributes = entity->GetAttributes();
        ASSERT_EQ(attributes.size(), 2u);
        EXPECT_EQ(attributes[0]->ReadTextString(), u"maker");
        EXPECT_EQ(attributes[1]->ReadTextString(), std::u16string(u"a\0b", 3));
    }
    block.attributes.Clear();
    EXPECT_EQ(first.references, 0u);
    EXPECT_EQ(second.references, 0u);
    EXPECT_EQ(block.references, 0u);
}

// Rule: an empty element of an array of variants is no attribute; the others still count.
TEST(GetAttributesShapeTest, EmptyElementIsSkipped) {
    FakeEntity first(u"maker");
    FakeEntity block;
    block.attributes = AttributeArray({&first, nullptr}, VT_VARIANT);
    {
        const std::shared_ptr<CadEntity> entity = MakeComEntity(&block, TestCalls());
        const std::vector<std::shared_ptr<CadEntity>> attributes = entity->GetAttributes();
        ASSERT_EQ(attributes.size(), 1u);
        EXPECT_EQ(attributes[0]->ReadTextString(), u"maker");
    }
    block.attributes.Clear();
    EXPECT_EQ(first.references, 0u);
}

INSTANTIATE_TEST_SUITE_P(ArrayKinds, GetAttributesTest, testing::Values(VT_DISPATCH, VT_VARIANT),
                         [](const auto& info) { return info.param == VT_DISPATCH ? "Objects" : "Variants"; });

// Rule: no attributes is an empty list; a result that is no array of objects is a type mismatch.
TEST(GetAttributesShapeTest, EmptyAndWrongShapes) {
    FakeEntity block;
    const std::shared_ptr<CadEntity> entity = MakeComEntity(&block, TestCalls());
    EXPECT_TRUE(entity->GetAttributes().empty());
    VARIANT* slot = block.attributes.ReleaseAndGetAddressOf();
    slot->vt = VT_I4;
    slot->lVal = 7;
    EXPECT_EQ(FailureOf([&] { (void)entity->GetAttributes(); }), static_cast<std::int32_t>(DISP_E_TYPEMISMATCH));
}

}  // namespace
}  // namespace morvane::com
