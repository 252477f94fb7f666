#pragma once

#include <windows.h>
#include <wrl/client.h>

#include <memory>
#include <string_view>
#include <vector>

#include "cadstandin/drawing_window.h"
#include "cadstandin/scenario.h"
#include "standin_automation.h"

// The stand-in's automation objects: the application, its document and utility, and the entities.

namespace cadstandin {

// The entities of the drawing, in drawing order. Owns their automation objects.
class Drawing {
public:
    explicit Drawing(const std::vector<EntityDefinition>& definitions);
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;
    ~Drawing();

    // The entities the window draws (attributes are drawn by their block).
    [[nodiscard]] std::vector<EntityState*> TopLevel() const;
    // Any entity by id, attributes included; nullptr when there is none.
    [[nodiscard]] EntityState* Find(std::string_view id) const;

private:
    std::vector<Microsoft::WRL::ComPtr<IUnknown>> objects_;  // top-level entities; blocks own their attributes
    std::vector<EntityState*> states_;
};

// The application object, with its document and utility. The window must outlive it.
[[nodiscard]] Microsoft::WRL::ComPtr<IStandinApplication> CreateApplication(Drawing& drawing, DrawingWindow& window);

}  // namespace cadstandin
