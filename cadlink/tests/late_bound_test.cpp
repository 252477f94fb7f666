// The binding's attach order and its by-name path, against in-process dispatch objects standing in
// for a running CAD application of another release (or of release 15 whose interface cannot be
// reached).
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cadlink/com/com_cad_link.h"
#include "cadlink/com/variant.h"
#include "cadlink/tests/busy_clock.h"
#include "cadlink/tests/fake_dispatch.h"
#include "cadlink/tests/failure_of.h"
#include "failure/failure.h"
#include "failure/com_error_number.h"

namespace morvane::com {
namespace {

using Microsoft::WRL::ComPtr;
using testing_dispatch::FakeDispatch;
using Parameters = DISPPARAMS&;

// Release 15's application interface, which the by-name objects here do not answer.
constexpr IID kRelease15ApplicationIid = {0x8E75D910, 0x3D21, 0x11D2, {0x85, 0xC4, 0x08, 0x00, 0x09, 0xA0, 0xC6, 0x26}};
constexpr CLSID kNewerClass = {0x5A0C8E2B, 0x7D14, 0x4C3A, {0xB1, 0xF6, 0x0E, 0x9D, 0x2C, 0x4B, 0x70, 0x19}};

HRESULT Object(VARIANT* result, IDispatch* object) {
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    if (object != nullptr) object->AddRef();
    return S_OK;
}

HRESULT Hand(IDispatch*& out, IDispatch* object) {
    out = object;
    object->AddRef();
    return S_OK;
}

HRESULT Text(VARIANT* result, const wchar_t* text) {
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(text);
    return S_OK;
}

// Where the link looks for the running application: release 15's object or a failure, and the
// newest other release's object or none.
class FakeRunning final : public RunningApplications {
public:
    RunningApplication Release15() override {
        log.push_back("Release15");
        if (release15Failure) throw Failure(*release15Failure);
        return {release15, {}};
    }
    std::optional<RunningApplication> NewestRelease() override {
        log.push_back("NewestRelease");
        if (newest == nullptr) return std::nullopt;
        return RunningApplication{newest, kNewerClass};
    }

    std::optional<std::int32_t> release15Failure = error_number::kCannotAttach;
    IUnknown* release15 = nullptr;
    IUnknown* newest = nullptr;
    std::vector<std::string>& log;

    explicit FakeRunning(std::vector<std::string>& sharedLog) : log(sharedLog) {}
};

// A running application of a newer release: application, document, utility and a text entity
// reached by name, all logging into one log, and the link that attaches to it.
struct FakeCad {
    FakeCad() {
        application.Name("app");
        document.Name("doc");
        utility.Name("util");
        entity.Name("entity");
        application.On(L"ActiveDocument", DISPATCH_PROPERTYGET,
                       [this](Parameters, VARIANT* result, EXCEPINFO*) { return Object(result, &document); });
        application.On(L"Visible", DISPATCH_PROPERTYPUT, [this](Parameters parameters, VARIANT*, EXCEPINFO*) {
            visible = parameters.rgvarg[0];
            return S_OK;
        });
        application.On(L"Caption", DISPATCH_PROPERTYGET,
                       [](Parameters, VARIANT* result, EXCEPINFO*) { return Text(result, L"AutoCAD 2025 - [Drawing1.dwg]"); });
        document.On(L"Utility", DISPATCH_PROPERTYGET,
                    [this](Parameters, VARIANT* result, EXCEPINFO*) { return Object(result, &utility); });
        // GetEntity([out] IDispatch** Object, [out] VARIANT* PickedPoint, [in] VARIANT Prompt): as the
        // type library's Invoke, each result taken by reference in its declared type only, the object
        // pointing at a null IDispatch*.
        utility.On(L"GetEntity", DISPATCH_METHOD, [this](Parameters parameters, VARIANT*, EXCEPINFO*) {
            if (parameters.cArgs != 3 || parameters.rgvarg[0].vt != VT_BSTR ||
                parameters.rgvarg[1].vt != (VT_BYREF | VT_VARIANT) || parameters.rgvarg[2].vt != (VT_BYREF | VT_DISPATCH)) {
                return DISP_E_TYPEMISMATCH;
            }
            EXPECT_EQ(*parameters.rgvarg[2].ppdispVal, nullptr) << "an out-argument starts empty";
            EXPECT_EQ(parameters.rgvarg[1].pvarVal->vt, VT_EMPTY) << "an out-argument starts empty";
            prompt = parameters.rgvarg[0].bstrVal;
            return pick(*parameters.rgvarg[2].ppdispVal, *parameters.rgvarg[1].pvarVal);
        });
        entity.On(L"TextString", DISPATCH_PROPERTYGET,
                  [](Parameters, VARIANT* result, EXCEPINFO*) { return Text(result, L"note"); });
        running.newest = &application;
    }

    ~FakeCad() {
        link.reset();
        for (const FakeDispatch* object : {&application, &document, &utility, &entity}) {
            EXPECT_EQ(object->references, 0u) << "references left on an object";
        }
    }

    // One command's road up to reading the picked entity's text.
    std::u16string Road() {
        const std::unique_ptr<CadApplication> app = link->Attach();
        const std::unique_ptr<CadDocument> doc = app->ActiveDocument();
        app->SetVisible(true);
        title = app->ActivationTitle();
        const std::unique_ptr<CadUtility> util = doc->Utility();
        return util->GetEntity(u"Select Text from the drawing:")->ReadTextString();
    }

    std::vector<std::string> log;
    FakeDispatch application{&log};
    FakeDispatch document{&log};
    FakeDispatch utility{&log};
    FakeDispatch entity{&log};
    // What the pick puts into its two results; by default the entity and a point.
    std::function<HRESULT(IDispatch*& object, VARIANT& point)> pick = [this](IDispatch*& object, VARIANT& point) {
        point.vt = VT_R8;
        point.dblVal = 1.5;
        return Hand(object, &entity);
    };
    VARIANT visible{};
    std::wstring prompt;
    std::u16string title;
    FakeRunning* runningFake = new FakeRunning(log);
    FakeRunning& running = *runningFake;
    std::unique_ptr<CadLink> link = MakeComCadLink(
        {.running = std::unique_ptr<RunningApplications>(runningFake),
         .clock = std::make_unique<testing_clock::SteppedClock>(),
         .deliverWaitingMessages = nullptr});
};

class LateBoundTest : public testing::Test {
protected:
    FakeCad cad;
    std::vector<std::string>& log = cad.log;
};

// Rule: with release 15 not running, the newest other release is driven by name, step by step in
// the command's order: visible given true (-1), the title read, the pick with its prompt and its
// two results passed by reference in their declared types.
TEST_F(LateBoundTest, NewerReleaseIsDrivenByNameInTheCommandsOrder) {
    EXPECT_EQ(cad.Road(), u"note");
    EXPECT_EQ(log, (std::vector<std::string>{"Release15", "NewestRelease", "app.ids ActiveDocument",
                                             "app.get ActiveDocument", "app.ids Visible", "app.put Visible",
                                             "app.ids Caption", "app.get Caption", "doc.ids Utility", "doc.get Utility",
                                             "util.ids GetEntity", "util.call GetEntity", "entity.ids TextString",
                                             "entity.get TextString"}));
    EXPECT_EQ(cad.visible.vt, VT_BOOL);
    EXPECT_EQ(cad.visible.boolVal, VARIANT_TRUE);
    EXPECT_EQ(cad.title, u"AutoCAD 2025 - [Drawing1.dwg]");
    EXPECT_EQ(cad.prompt, L"Select Text from the drawing:");
}

// Rule: the names of the application, its document and its utility are looked up on the first
// command only; each picked entity's names are its own.
TEST_F(LateBoundTest, LaterCommandsLookUpOnlyTheEntitysNames) {
    (void)cad.Road();
    log.clear();
    (void)cad.Road();
    EXPECT_EQ(log, (std::vector<std::string>{"Release15", "NewestRelease", "app.get ActiveDocument", "app.put Visible",
                                             "app.get Caption", "doc.get Utility", "util.call GetEntity",
                                             "entity.ids TextString", "entity.get TextString"}));
}

// Rule: release 15 found but its interface out of reach (another bitness): the same object is
// driven by name, and the newest release is not looked for.
TEST_F(LateBoundTest, Release15WithoutItsInterfaceIsDrivenByName) {
    cad.running.release15Failure.reset();
    cad.running.release15 = &cad.application;
    cad.running.newest = nullptr;
    EXPECT_EQ(cad.Road(), u"note");
    EXPECT_EQ(log.at(0), "Release15");
    EXPECT_EQ(log.at(1), "app.ids ActiveDocument");
}

// Rule: release 15 reached by name is still release 15: its picked entity is asked nothing that
// release 15 has not (no FieldCode, no extension dictionary), as on its slot-based path.
TEST_F(LateBoundTest, Release15ByNameIsNotAskedAboutFields) {
    cad.running.release15Failure.reset();
    cad.running.release15 = &cad.application;
    cad.running.newest = nullptr;
    cad.entity.On(L"FieldCode", DISPATCH_METHOD, [](Parameters, VARIANT* result, EXCEPINFO*) { return Text(result, L"note"); });
    {
        const std::unique_ptr<CadApplication> app = cad.link->Attach();
        const std::shared_ptr<CadEntity> picked = app->ActiveDocument()->Utility()->GetEntity(u"Select Text from the drawing:");
        log.clear();
        EXPECT_EQ(FailureOf([&] { (void)picked->ReadFieldCode(); }), error_number::kNoSuchMember);
        EXPECT_EQ(FailureOf([&] { (void)picked->HasExtensionDictionary(); }), error_number::kNoSuchMember);
    }
    EXPECT_EQ(log, std::vector<std::string>{}) << "nothing asked";
}

// Rule: the picked point is never used, whatever its type, and what it holds is let go (the
// fixture counts the object it held).
TEST_F(LateBoundTest, PickedPointOfAnyTypeIsLetGo) {
    cad.pick = [this](IDispatch*& object, VARIANT& point) {
        (void)Object(&point, &cad.document);
        return Hand(object, &cad.entity);
    };
    EXPECT_EQ(cad.Road(), u"note");
}

// Rule: release 15 found with its interface: the slot-based path, nothing by name.
TEST_F(LateBoundTest, Release15WithItsInterfaceIsNotDrivenByName) {
    cad.running.release15Failure.reset();
    cad.running.release15 = &cad.application;
    cad.application.answers.push_back(kRelease15ApplicationIid);
    { const std::unique_ptr<CadApplication> app = cad.link->Attach(); }
    EXPECT_EQ(log, (std::vector<std::string>{"Release15"}));
}

struct InterfaceAnswerCase {
    const char* name;
    HRESULT answer;                       // release 15's object, asked for its application interface
    std::optional<std::int32_t> failure;  // none: the object is driven by name
};

class Release15InterfaceAnswerTest : public testing::TestWithParam<InterfaceAnswerCase> {};

// Rule: release 15 whose interface is out of reach, whichever way COM says so, is driven by name;
// a busy (after its retries), disconnected or vanished application is its own failure, and nothing
// is called by name.
TEST_P(Release15InterfaceAnswerTest, OutOfReachIsDrivenByNameOtherAnswersFail) {
    FakeCad cad;
    cad.running.release15Failure.reset();
    cad.running.release15 = &cad.application;
    cad.running.newest = nullptr;
    cad.application.refusal = GetParam().answer;
    if (!GetParam().failure) {
        EXPECT_EQ(cad.Road(), u"note");
        EXPECT_EQ(cad.log.at(1), "app.ids ActiveDocument");
        return;
    }
    EXPECT_EQ(FailureOf([&] { (void)cad.link->Attach(); }), *GetParam().failure);
    EXPECT_EQ(cad.log, (std::vector<std::string>{"Release15"}));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, Release15InterfaceAnswerTest,
    testing::Values(InterfaceAnswerCase{"NoInterface", E_NOINTERFACE, std::nullopt},
                    InterfaceAnswerCase{"InterfaceNotRegistered", REGDB_E_IIDNOTREG, std::nullopt},
                    InterfaceAnswerCase{"TypeLibraryNotRegistered", TYPE_E_LIBNOTREGISTERED, std::nullopt},
                    InterfaceAnswerCase{"TypeLibraryCannotLoad", TYPE_E_CANTLOADLIBRARY, std::nullopt},
                    InterfaceAnswerCase{"Busy", RPC_E_CALL_REJECTED, error_number::kCallRejected},
                    InterfaceAnswerCase{"RetryLater", RPC_E_SERVERCALL_RETRYLATER, error_number::kCallRetryLater},
                    InterfaceAnswerCase{"Disconnected", RPC_E_DISCONNECTED, static_cast<std::int32_t>(0x80010108)},
                    InterfaceAnswerCase{"ServerUnavailable", HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE),
                                        static_cast<std::int32_t>(0x800706BA)},
                    InterfaceAnswerCase{"CallFailed", static_cast<HRESULT>(0x800706BE),
                                        static_cast<std::int32_t>(0x800706BE)}),
    [](const auto& info) { return std::string(info.param.name); });

// Rule: nothing running is 429; any other failure finding release 15 is its own number, and no
// other release is looked for.
TEST_F(LateBoundTest, AttachFailures) {
    cad.running.newest = nullptr;
    EXPECT_EQ(FailureOf([&] { (void)cad.link->Attach(); }), error_number::kCannotAttach);
    log.clear();
    cad.running.release15Failure = static_cast<std::int32_t>(E_ACCESSDENIED);
    cad.running.newest = &cad.application;
    EXPECT_EQ(FailureOf([&] { (void)cad.link->Attach(); }), static_cast<std::int32_t>(E_ACCESSDENIED));
    EXPECT_EQ(log, (std::vector<std::string>{"Release15"}));
}

// A way the newer release answers one step differently, and the number that step fails with.
struct StepCase {
    const char* name;
    std::function<void(FakeCad&)> change;
    std::int32_t number;
};

class LateBoundFailureTest : public testing::TestWithParam<StepCase> {};

// Rule: by name, every step fails with the same numbers as through the interfaces: answers are
// checked, never coerced; no object where one is needed is 91; an exception raised is its scode;
// a pick that gives no entity is the missed pick.
TEST_P(LateBoundFailureTest, StepFailsWithItsNumber) {
    FakeCad cad;
    GetParam().change(cad);
    EXPECT_EQ(FailureOf([&] { (void)cad.Road(); }), GetParam().number);
}

HRESULT Raise(EXCEPINFO* exception, HRESULT scode) {
    exception->scode = scode;
    return DISP_E_EXCEPTION;
}

const StepCase kSteps[] = {
    {"DocumentNotAnObject",
     [](FakeCad& t) { t.application.On(L"ActiveDocument", DISPATCH_PROPERTYGET, [](Parameters, VARIANT*, EXCEPINFO*) { return S_OK; }); },
     error_number::kTypeMismatch},
    {"DocumentNothing",
     [](FakeCad& t) {
         t.application.On(L"ActiveDocument", DISPATCH_PROPERTYGET, [](Parameters, VARIANT* r, EXCEPINFO*) { return Object(r, nullptr); });
     },
     error_number::kObjectNotSet},
    {"VisibleRefused",
     [](FakeCad& t) {
         t.application.On(L"Visible", DISPATCH_PROPERTYPUT, [](Parameters, VARIANT*, EXCEPINFO* e) { return Raise(e, E_ACCESSDENIED); });
     },
     static_cast<std::int32_t>(E_ACCESSDENIED)},
    {"CaptionANumber",
     [](FakeCad& t) {
         t.application.On(L"Caption", DISPATCH_PROPERTYGET, [](Parameters, VARIANT* r, EXCEPINFO*) {
             r->vt = VT_I4;
             r->lVal = 42;
             return S_OK;
         });
     },
     error_number::kTypeMismatch},
    {"NoUtility", [](FakeCad& t) { t.document.Forget(L"Utility"); }, error_number::kNoSuchMember},
    {"PickMissed",
     [](FakeCad& t) { t.pick = [](IDispatch*&, VARIANT&) { return DISP_E_EXCEPTION; }; },
     error_number::kApplicationException},
    {"PickGivesNothing", [](FakeCad& t) { t.pick = [](IDispatch*&, VARIANT&) { return S_OK; }; }, error_number::kApplicationException},
    // Whatever the failure, what the pick put into its results is let go (the fixture counts it).
    {"PickFailsAfterFillingItsResults",
     [](FakeCad& t) {
         t.pick = [&t](IDispatch*& object, VARIANT& point) {
             (void)Object(&point, &t.document);
             (void)Hand(object, &t.entity);
             return DISP_E_TYPEMISMATCH;
         };
     },
     error_number::kTypeMismatch},
    {"BusyForEver",
     [](FakeCad& t) {
         t.application.On(L"Caption", DISPATCH_PROPERTYGET, [](Parameters, VARIANT*, EXCEPINFO*) { return RPC_E_CALL_REJECTED; });
     },
     error_number::kCallRejected},
};

INSTANTIATE_TEST_SUITE_P(Steps, LateBoundFailureTest, testing::ValuesIn(kSteps),
                         [](const auto& info) { return std::string(info.param.name); });

// Rule: a step the busy application rejects a few times goes through once it answers.
TEST_F(LateBoundTest, BusyStepGoesThroughOnceAnswered) {
    int rejections = 3;
    cad.application.On(L"Caption", DISPATCH_PROPERTYGET, [&](Parameters, VARIANT* result, EXCEPINFO* exception) {
        if (rejections-- > 0) return Raise(exception, RPC_E_SERVERCALL_RETRYLATER);
        return Text(result, L"Busy - [Drawing1.dwg]");
    });
    EXPECT_EQ(cad.Road(), u"note");
    EXPECT_EQ(cad.title, u"Busy - [Drawing1.dwg]");
}

// Rule: EndUndoMark that the busy application turns away once it has begun is asked again until it
// answers: a group left open would take the drafter's next commands; StartUndoMark is not (a
// method that may not run twice).
TEST_F(LateBoundTest, EndUndoMarkIsAskedAgainWhileBusy) {
    int rejections = 3;
    for (const wchar_t* name : {L"StartUndoMark", L"EndUndoMark"}) {
        cad.document.On(name, DISPATCH_METHOD, [&](Parameters, VARIANT*, EXCEPINFO* exception) {
            if (rejections-- > 0) return Raise(exception, RPC_E_SERVERCALL_RETRYLATER);
            return S_OK;
        });
    }
    const std::unique_ptr<CadApplication> app = cad.link->Attach();
    const std::unique_ptr<CadDocument> doc = app->ActiveDocument();
    EXPECT_EQ(FailureOf([&] { doc->StartUndoMark(); }), error_number::kCallRetryLater);
    EXPECT_EQ(rejections, 2);
    doc->EndUndoMark();
    EXPECT_EQ(rejections, -1);
}

}  // namespace
}  // namespace morvane::com

namespace morvane::com {
namespace {

// A pre-selection of texts and a block, reached by name through the document, as a newer release
// answers it: the set, each entity with its kind's members, the layers and their locks.
class PreselectionByNameTest : public LateBoundTest {
protected:
    PreselectionByNameTest() {
        set.Name("set");
        layers.Name("layers");
        layer.Name("layer");
        cad.document.On(L"PickfirstSelectionSet", DISPATCH_PROPERTYGET,
                        [this](Parameters, VARIANT* result, EXCEPINFO*) { return Object(result, &set); });
        cad.document.On(L"Layers", DISPATCH_PROPERTYGET,
                        [this](Parameters, VARIANT* result, EXCEPINFO*) { return Object(result, &layers); });
        set.On(L"Count", DISPATCH_PROPERTYGET, [this](Parameters, VARIANT* result, EXCEPINFO*) {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(members.size());
            return S_OK;
        });
        set.On(L"Item", DISPATCH_METHOD, [this](Parameters parameters, VARIANT* result, EXCEPINFO*) {
            if (parameters.cArgs != 1 || parameters.rgvarg[0].vt != VT_I4) return DISP_E_TYPEMISMATCH;
            const LONG index = parameters.rgvarg[0].lVal;
            if (index < 0 || static_cast<std::size_t>(index) >= members.size()) return E_INVALIDARG;
            return Object(result, members[static_cast<std::size_t>(index)]);
        });
        layers.On(L"Item", DISPATCH_METHOD, [this](Parameters parameters, VARIANT* result, EXCEPINFO*) {
            if (parameters.cArgs != 1 || parameters.rgvarg[0].vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
            askedLayer = parameters.rgvarg[0].bstrVal;
            return Object(result, &layer);
        });
        layer.On(L"Lock", DISPATCH_PROPERTYGET, [](Parameters, VARIANT* result, EXCEPINFO*) {
            result->vt = VT_BOOL;
            result->boolVal = VARIANT_TRUE;
            return S_OK;
        });
        for (int i = 0; i < 3; ++i) {
            FakeDispatch& text = texts.emplace_back(&log);
            text.Name("text" + std::to_string(i));
            text.On(L"ObjectName", DISPATCH_PROPERTYGET, [](Parameters, VARIANT* result, EXCEPINFO*) { return Text(result, L"AcDbText"); });
            text.On(L"Layer", DISPATCH_PROPERTYGET, [](Parameters, VARIANT* result, EXCEPINFO*) { return Text(result, L"NOTES"); });
            text.On(L"TextString", DISPATCH_PROPERTYGET, [](Parameters, VARIANT* result, EXCEPINFO*) { return Text(result, L"note"); });
        }
    }

    ~PreselectionByNameTest() override {
        for (const FakeDispatch* object : {&set, &layers, &layer, &texts[0], &texts[1], &texts[2]}) {
            EXPECT_EQ(object->references, 0u) << "references left on an object";
        }
    }

    [[nodiscard]] int Lines(const std::string& line) const { return static_cast<int>(std::count(log.begin(), log.end(), line)); }

    std::deque<FakeDispatch> texts;
    FakeDispatch set{&log};
    FakeDispatch layers{&log};
    FakeDispatch layer{&log};
    std::vector<IDispatch*> members;
    std::wstring askedLayer;
};

// Rule: the entities of a pre-selection share their kind's names for the press: each name is looked
// up once per kind, a name the kind does not know included, and the members every object answers
// once for all.
TEST_F(PreselectionByNameTest, NamesAreLookedUpOncePerKind) {
    members = {&texts[0], &texts[1], &texts[2]};
    {
        const std::unique_ptr<CadApplication> app = cad.link->Attach();
        const std::unique_ptr<CadDocument> doc = app->ActiveDocument();
        const std::unique_ptr<CadSelection> selection = doc->PickfirstSelection();
        ASSERT_EQ(selection->Count(), 3);
        for (std::int32_t i = 0; i < 3; ++i) {
            const std::shared_ptr<CadEntity> entity = selection->Item(i);
            EXPECT_EQ(entity->ReadTextString(), u"note");
            EXPECT_EQ(entity->ObjectName(), u"AcDbText");
            EXPECT_EQ(entity->Layer(), u"NOTES");
            EXPECT_EQ(FailureOf([&] { (void)entity->HasAttributes(); }), error_number::kNoSuchMember);
        }
        EXPECT_TRUE(doc->LayerLocked(u"NOTES"));
        EXPECT_EQ(askedLayer, L"NOTES");
    }
    for (const char* name : {"ObjectName", "TextString", "Layer", "HasAttributes"}) {
        EXPECT_EQ(Lines("text0.ids " + std::string(name)), 1) << name;
        EXPECT_EQ(Lines("text1.ids " + std::string(name)) + Lines("text2.ids " + std::string(name)), 0) << name;
    }
    EXPECT_EQ(Lines("text1.get ObjectName"), 1) << "each entity says its kind once";
    EXPECT_EQ(Lines("set.ids Item"), 1);
}

// The same entity through two handles has one identity; two entities have two.
TEST_F(PreselectionByNameTest, IdentityIsTheEntitys) {
    members = {&texts[0], &texts[1], &texts[0]};
    const std::unique_ptr<CadApplication> app = cad.link->Attach();
    const std::unique_ptr<CadDocument> doc = app->ActiveDocument();
    const std::unique_ptr<CadSelection> selection = doc->PickfirstSelection();
    const std::shared_ptr<CadEntity> first = selection->Item(0);
    const std::shared_ptr<CadEntity> second = selection->Item(1);
    const std::shared_ptr<CadEntity> again = selection->Item(2);
    EXPECT_EQ(first->Identity(), again->Identity());
    EXPECT_NE(first->Identity(), second->Identity());
}

// A set beyond its end, or one that answers no object, fails with its number.
TEST_F(PreselectionByNameTest, ItemFailures) {
    members = {nullptr};
    const std::unique_ptr<CadApplication> app = cad.link->Attach();
    const std::unique_ptr<CadDocument> doc = app->ActiveDocument();
    const std::unique_ptr<CadSelection> selection = doc->PickfirstSelection();
    EXPECT_EQ(FailureOf([&] { (void)selection->Item(0); }), error_number::kObjectNotSet);
    EXPECT_EQ(FailureOf([&] { (void)selection->Item(1); }), static_cast<std::int32_t>(E_INVALIDARG));
}

}  // namespace
}  // namespace morvane::com
