#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>
#include <vector>

#include "cadstandin/scenario.h"

namespace cadstandin {

// One entity as the window shows it. The entity's automation object owns it.
struct EntityState {
    EntityDefinition definition;                       // definition.text: the current TextString or TextOverride
    std::u16string shown;                  // the text on screen: definition.text as of the last Update
    std::vector<EntityState*> attributes;  // a block's attributes
    RECT bounds{};                         // in client coordinates, from the window's layout
    IDispatch* dispatch = nullptr;         // the entity's automation object
};

struct PickOutcome {
    enum class Kind { Entity, Miss, Cancel, Timeout };
    Kind kind = Kind::Cancel;
    EntityState* entity = nullptr;
    double x = 0;  // drawing units: pixels of the drawing area, origin bottom left
    double y = 0;
};

// The drawing window: the entities, the command strip with the pick's prompt, the pick itself.
class DrawingWindow {
public:
    DrawingWindow(const Scenario& scenario, std::vector<EntityState*> entities);
    DrawingWindow(const DrawingWindow&) = delete;
    DrawingWindow& operator=(const DrawingWindow&) = delete;
    ~DrawingWindow();

    // Creates the window (shown or not as the scenario says) and logs it; false on failure.
    [[nodiscard]] bool Create(HINSTANCE instance);
    [[nodiscard]] HWND Handle() const { return hwnd_; }
    // "AutoCAD Stand-in - [Drawing1.dwg]": the window title and the application's Caption.
    [[nodiscard]] const std::u16string& Title() const { return title_; }
    void Show(bool visible);
    [[nodiscard]] bool Visible() const;
    // After Update: the entity is drawn with its new text, and its layout logged again.
    void Redraw(EntityState& entity);
    // After a selection set's Update: each entity drawn anew, its layout logged again.
    void Redraw(const std::vector<EntityState*>& entities);
    // The pre-selection (the objects gripped before a command), in order, shown highlighted with
    // grips. A selection rectangle drawn in the window replaces it, a click on empty space or Escape
    // empties it (while no pick waits).
    [[nodiscard]] const std::vector<EntityState*>& Preselection() const { return preselection_; }
    void SetPreselection(std::vector<EntityState*> entities);
    // After a text was written: the command strip shows it raw, codes and all, until the next pick.
    void Written(const EntityState& entity);
    // After a table cell's text was written: likewise, naming the cell.
    void WrittenCell(const EntityState& table, int row, int col);
    // After an undo group closed: the command strip says how many texts one Undo takes back.
    void UndoGroupEnded(int texts);
    // Runs a nested message loop until the user picks, misses, cancels, or the timeout (0: none) passes.
    [[nodiscard]] PickOutcome WaitForPick(std::u16string_view prompt, int timeoutSeconds);
    // The point where a queued pick lands on an entity, in drawing units.
    [[nodiscard]] PickOutcome QueuedPick(EntityState& entity) const;
    [[nodiscard]] bool Picking() const { return picking_; }

    // The message that asks for a reference dump, and the window class clients look for.
    static constexpr const wchar_t* kClassName = L"CadStandinDrawing";
    static constexpr const wchar_t* kDumpMessageName = L"CadStandin.DumpReferences";

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Layout();
    void LogLayout(const EntityState& entity) const;
    void Paint(HDC dc) const;
    [[nodiscard]] int DrawingAreaHeight() const;
    [[nodiscard]] EntityState* HitTest(POINT point) const;
    void EndPick(PickOutcome outcome);
    // The selection rectangle: begun by a press on empty space, drawn while the mouse moves, and on
    // release the entities inside it become the pre-selection (a release without a drag empties it).
    void BeginRectangle(POINT at);
    void MoveRectangle(POINT to);
    void EndRectangle(POINT at);
    void CancelRectangle();
    [[nodiscard]] RECT RectangleArea() const;
    // Logs a change the user made to the pre-selection ("preselection source=...").
    void LogPreselection(const char* source, const RECT* area) const;
    void PaintPreselection(HDC dc) const;

    const Scenario& scenario_;
    std::vector<EntityState*> entities_;
    std::u16string title_;
    HWND hwnd_ = nullptr;
    HFONT textFont_ = nullptr;
    HFONT underlinedFont_ = nullptr;
    HFONT stripFont_ = nullptr;
    UINT dumpMessage_ = 0;
    bool picking_ = false;
    bool closeAfterPick_ = false;
    std::u16string prompt_;
    std::wstring lastWritten_;
    PickOutcome outcome_;
    std::vector<EntityState*> preselection_;
    bool selecting_ = false;      // a press on empty space, held
    bool rectangleDrawn_ = false;  // moved far enough to be a rectangle rather than a click
    POINT rectangleStart_{};
    POINT rectangleEnd_{};
};

}  // namespace cadstandin
