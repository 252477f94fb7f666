#include "command/preselection.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "command/answers.h"
#include "command/text_changes.h"
#include "command/writes.h"
#include "failure/failure.h"

namespace morvane {

namespace {

// The most objects a pre-selection may have for the program to take it on: far beyond any drafter's
// selection, and small enough that its bookkeeping is never a burden.
constexpr std::int32_t kMostObjects = 1 << 20;

// Whether each layer asked about is locked, each asked once per press.
class LayerLocks {
public:
    explicit LayerLocks(CadDocument& document) noexcept : document_(document) {}

    // Whether the entity is left for its layer: it is on a locked one, or its layer or the layer's
    // lock cannot be read.
    bool LeaveAlone(CadEntity& entity) {
        const std::optional<std::u16string> layer =
            IfAnswered(AnswerRule::LayerUnreadable, [&] { return entity.Layer(); });
        if (!layer) return true;
        for (const auto& [name, locked] : layers_) {
            if (name == *layer) return locked;
        }
        const bool locked =
            IfAnswered(AnswerRule::LayerUnreadable, [&] { return document_.LayerLocked(*layer); }).value_or(true);
        layers_.emplace_back(*layer, locked);
        return locked;
    }

private:
    CadDocument& document_;
    std::vector<std::pair<std::u16string, bool>> layers_;
};

}  // namespace

PreselectionResult ChangePreselection(CaseDialog& dialog, CadDocument& document, CadSelection& selection,
                                      std::int32_t count, CaseMode mode, const TextKinds& kinds) {
    if (count < 0 || count > kMostObjects) throw Failure(error_number::kOverflow);
    Writes writes;
    LayerLocks locks(document);
    // The entities decided on (to write, or left), held so that their identities stay theirs.
    std::vector<std::shared_ptr<CadEntity>> decided;
    std::unordered_set<const void*> seen;
    std::int32_t left = 0;
    for (std::int32_t index = 0; index < count; ++index) {
        std::shared_ptr<CadEntity> handle = selection.Item(index);
        CadEntity& entity = Require(handle);
        if (seen.contains(entity.Identity())) continue;
        const Writes::Mark before = writes.Now();
        ReadTextChanges(nullptr, entity, mode, kinds, writes, KindAsked::First);
        if (writes.Now() == before) continue;
        if (locks.LeaveAlone(entity)) {
            writes.Rollback(before);
            ++left;
        }
        seen.insert(entity.Identity());
        decided.push_back(std::move(handle));
    }
    writes.Make(document, dialog, Redraw::ByCaller);
    if (!writes.Written().empty()) {
        const bool redrawn = IfAnswered(AnswerRule::MemberUnknown, [&] {
                                 selection.Update();
                                 return true;
                             }).has_value();
        if (!redrawn) {
            for (CadEntity* entity : writes.Written()) entity->Update();
        }
    }
    selection.Clear();
    return {count, left};
}

}  // namespace morvane
