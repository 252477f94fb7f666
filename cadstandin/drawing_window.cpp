#include "cadstandin/drawing_window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstdio>

#include "cadstandin/mtext_drawing.h"
#include "cadstandin/mtext_format.h"
#include "cadstandin/server.h"
#include "cadstandin/table_drawing.h"

namespace cadstandin {
namespace {

constexpr int kStripHeight = 28;
constexpr int kLineHeight = 24;
constexpr int kTextHeight = 18;  // pixels
constexpr const wchar_t* kTextFace = L"Tahoma";
constexpr int kHitMargin = 4;
constexpr COLORREF kBackground = RGB(33, 40, 48);
constexpr COLORREF kStripBackground = RGB(226, 226, 226);
// The pre-selection's look, as the CAD application shows gripped objects: a dashed outline and
// small filled grip squares; and the selection rectangle's outline while it is drawn.
constexpr COLORREF kHighlight = RGB(120, 170, 255);
constexpr COLORREF kGrip = RGB(40, 110, 255);
constexpr COLORREF kGripBorder = RGB(230, 240, 255);
constexpr int kGripSize = 7;
constexpr COLORREF kSelectionRectangle = RGB(90, 150, 255);

COLORREF ColorOf(EntityKind kind) {
    switch (kind) {
    case EntityKind::Text: return RGB(255, 255, 255);
    case EntityKind::MText: return RGB(0, 255, 255);
    case EntityKind::Line: return RGB(255, 255, 0);
    case EntityKind::Block: return RGB(0, 230, 0);
    case EntityKind::Attribute: return RGB(255, 255, 255);
    case EntityKind::Dimension: return RGB(120, 170, 255);
    case EntityKind::Table: return RGB(255, 176, 96);
    case EntityKind::MLeader: return RGB(255, 128, 255);
    case EntityKind::Tolerance: return RGB(160, 255, 160);
    case EntityKind::AttributeDefinition: return RGB(255, 255, 160);
    }
    return RGB(255, 255, 255);
}

const char* KindName(EntityKind kind) {
    switch (kind) {
    case EntityKind::Text: return "text";
    case EntityKind::MText: return "mtext";
    case EntityKind::Line: return "line";
    case EntityKind::Block: return "block";
    case EntityKind::Attribute: return "attribute";
    case EntityKind::Dimension: return "dimension";
    case EntityKind::Table: return "table";
    case EntityKind::MLeader: return "mleader";
    case EntityKind::Tolerance: return "tolerance";
    case EntityKind::AttributeDefinition: return "attdef";
    }
    return "entity";
}

// What a multileader shows: its text, or its block's name in brackets where its content is a block.
std::u16string LeaderContent(const EntityState& leader) {
    const EntityDefinition& definition = leader.definition;
    if (!leader.shown.empty() || definition.name.empty()) return leader.shown;
    return u"[" + definition.name + u"]";
}

bool IsUnderlineCode(std::u16string_view text, std::size_t at) {
    return text.size() >= at + 3 && text[at] == u'%' && text[at + 1] == u'%' && (text[at + 2] == u'U' || text[at + 2] == u'u');
}

// Draws (or only measures, dc drawing off) one line of text the way the CAD application shows it:
// %%U switches underlining on and off and is not shown itself.
SIZE TextLine(HDC dc, int x, int y, std::u16string_view text, HFONT plain, HFONT underlined, bool draw) {
    SIZE total{0, kLineHeight};
    bool underline = false;
    std::size_t start = 0;
    const auto flush = [&](std::size_t end) {
        if (end <= start) return;
        const std::wstring run = Displayable(text.substr(start, end - start));
        SelectObject(dc, underline ? underlined : plain);
        SIZE size{};
        GetTextExtentPoint32W(dc, run.c_str(), static_cast<int>(run.size()), &size);
        if (draw) TextOutW(dc, x + total.cx, y, run.c_str(), static_cast<int>(run.size()));
        total.cx += size.cx;
    };
    for (std::size_t i = 0; i < text.size();) {
        if (IsUnderlineCode(text, i)) {
            flush(i);
            underline = !underline;
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    flush(text.size());
    return total;
}

std::u16string DimensionText(const EntityState& entity) {
    const double length = std::hypot(double(entity.definition.x2 - entity.definition.x1), double(entity.definition.y2 - entity.definition.y1));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.0f", length);
    const std::u16string measured(buffer, buffer + std::char_traits<char>::length(buffer));
    if (entity.shown.empty()) return measured;
    std::u16string text = entity.shown;
    const std::size_t at = text.find(u"<>");
    if (at != std::u16string::npos) text.replace(at, 2, measured);
    return text;
}

MTextLook LookOf(EntityKind kind) {
    return {ColorOf(kind), kTextFace, kTextHeight};
}

// Where a dimension's formatted text goes: the lines before "\X" above its line, the rest below;
// each block centred on the line.
struct DimensionTextBlock {
    std::vector<MTextLine> lines;
    POINT topLeft{};
    SIZE size{};
};

std::array<DimensionTextBlock, 2> DimensionTextBlocks(HDC dc, const EntityState& entity) {
    std::array<DimensionTextBlock, 2> blocks;
    for (MTextLine& line : LayOutMText(DimensionText(entity), kTextHeight)) {
        blocks[line.belowDimensionLine ? 1 : 0].lines.push_back(std::move(line));
    }
    const EntityDefinition& definition = entity.definition;
    const LONG middleX = (definition.x1 + definition.x2) / 2;
    const LONG middleY = (definition.y1 + definition.y2) / 2;
    for (DimensionTextBlock& block : blocks) {
        block.size = DrawMText(dc, 0, 0, block.lines, LookOf(EntityKind::Dimension), false);
    }
    blocks[0].topLeft = {middleX - blocks[0].size.cx / 2, middleY - 6 - blocks[0].size.cy};
    blocks[1].topLeft = {middleX - blocks[1].size.cx / 2, middleY + 18};
    return blocks;
}

// A multileader: its formatted text, and a leader from the text's left down to an arrowhead.
constexpr int kLeaderReach = 36;

// A tolerance's feature control frame: "%%v" separates its compartments, each drawn as formatted text
// in a box of its own (the GD&T symbols, "{\Fgdt;j}", are font codes the window does not draw).
struct ToleranceBox {
    std::vector<MTextLine> lines;
    RECT frame{};
};

std::vector<ToleranceBox> ToleranceBoxes(HDC dc, const EntityState& entity) {
    std::vector<std::u16string> parts(1);
    const std::u16string& text = entity.shown;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.size() >= i + 3 && text[i] == u'%' && text[i + 1] == u'%' && (text[i + 2] == u'v' || text[i + 2] == u'V')) {
            parts.emplace_back();
            i += 2;
        } else {
            parts.back().push_back(text[i]);
        }
    }
    std::vector<ToleranceBox> boxes;
    LONG x = entity.definition.x1;
    for (const std::u16string& part : parts) {
        ToleranceBox& box = boxes.emplace_back();
        box.lines = LayOutMText(part, kTextHeight);
        const SIZE size = DrawMText(dc, 0, 0, box.lines, MTextLook{ColorOf(EntityKind::Tolerance), kTextFace, kTextHeight}, false);
        const LONG width = std::max(size.cx, 10L) + 10;
        box.frame = {x, entity.definition.y1, x + width, entity.definition.y1 + std::max(size.cy, LONG(kTextHeight)) + 8};
        x += width - 1;
    }
    return boxes;
}

double SegmentDistance(POINT p, POINT a, POINT b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared == 0 ? 0 : ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

RECT Union(RECT a, RECT b) {
    RECT out{};
    UnionRect(&out, &a, &b);
    return out;
}

}  // namespace

DrawingWindow::DrawingWindow(const Scenario& scenario, std::vector<EntityState*> entities)
    : scenario_(scenario), entities_(std::move(entities)) {
    title_ = Server::Get().release.WindowTitle(scenario.title);
}

DrawingWindow::~DrawingWindow() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    for (HFONT font : {textFont_, underlinedFont_, stripFont_}) {
        if (font != nullptr) DeleteObject(font);
    }
}

bool DrawingWindow::Create(HINSTANCE instance) {
    const auto font = [](int height, bool underline, const wchar_t* face) {
        return CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, underline, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, face);
    };
    textFont_ = font(18, false, L"Tahoma");
    underlinedFont_ = font(18, true, L"Tahoma");
    stripFont_ = font(15, false, L"Courier New");
    dumpMessage_ = RegisterWindowMessageW(kDumpMessageName);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassExW(&windowClass) == 0) return false;

    const std::wstring title = AsWide(title_);
    hwnd_ = CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, scenario_.windowX, scenario_.windowY,
                            scenario_.windowWidth, scenario_.windowHeight, nullptr, nullptr, instance, this);
    if (hwnd_ == nullptr) return false;
    Layout();
    char handle[32];
    std::snprintf(handle, sizeof handle, "0x%08llX", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd_)));
    Server::Get().log.Line(std::string("window hwnd=") + handle + " title=" + QuoteText(title_) +
                           " visible=" + (scenario_.visible ? "yes" : "no"));
    for (const EntityState* entity : entities_) {
        LogLayout(*entity);
        for (const EntityState* attribute : entity->attributes) LogLayout(*attribute);
    }
    if (scenario_.visible) {
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
    }
    return true;
}

void DrawingWindow::Show(bool visible) {
    ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE);
    if (visible) UpdateWindow(hwnd_);
}

bool DrawingWindow::Visible() const {
    return IsWindowVisible(hwnd_) != FALSE;
}

void DrawingWindow::Written(const EntityState& entity) {
    lastWritten_ = AsWide(u"Written to " + std::u16string(entity.definition.id.begin(), entity.definition.id.end()) + u": ") +
                   Displayable(entity.definition.text);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DrawingWindow::WrittenCell(const EntityState& table, int row, int col) {
    const std::string cell = table.definition.id + " (" + std::to_string(row) + "," + std::to_string(col) + ")";
    lastWritten_ = L"Written to " + std::wstring(cell.begin(), cell.end()) + L": " +
                   Displayable(table.definition.table.Cell(row, col).text);
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DrawingWindow::UndoGroupEnded(int texts) {
    lastWritten_ = L"Undo group: " + std::to_wstring(texts) + (texts == 1 ? L" text" : L" texts") +
                   L" written, one Undo takes them back";
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void DrawingWindow::Redraw(EntityState& entity) {
    Layout();
    LogLayout(entity);
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
}

void DrawingWindow::Redraw(const std::vector<EntityState*>& entities) {
    Layout();
    for (const EntityState* entity : entities) LogLayout(*entity);
    InvalidateRect(hwnd_, nullptr, FALSE);
    UpdateWindow(hwnd_);
}

void DrawingWindow::SetPreselection(std::vector<EntityState*> entities) {
    preselection_ = std::move(entities);
    if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, FALSE);
}

void DrawingWindow::BeginRectangle(POINT at) {
    selecting_ = true;
    rectangleDrawn_ = false;
    rectangleStart_ = rectangleEnd_ = at;
    SetCapture(hwnd_);
}

void DrawingWindow::MoveRectangle(POINT to) {
    rectangleEnd_ = to;
    // A press that moves no further than the system's drag distance is a click.
    if (!rectangleDrawn_ && (std::abs(to.x - rectangleStart_.x) > GetSystemMetrics(SM_CXDRAG) ||
                             std::abs(to.y - rectangleStart_.y) > GetSystemMetrics(SM_CYDRAG))) {
        rectangleDrawn_ = true;
    }
    if (rectangleDrawn_) InvalidateRect(hwnd_, nullptr, FALSE);
}

void DrawingWindow::EndRectangle(POINT at) {
    MoveRectangle(at);
    selecting_ = false;
    ReleaseCapture();
    if (!rectangleDrawn_) {
        SetPreselection({});
        LogPreselection("click", nullptr);
        return;
    }
    // Window selection: the entities that lie wholly inside the rectangle, in drawing order.
    const RECT area = RectangleArea();
    std::vector<EntityState*> inside;
    for (EntityState* entity : entities_) {
        const RECT& bounds = entity->bounds;
        if (bounds.left >= area.left && bounds.top >= area.top && bounds.right <= area.right && bounds.bottom <= area.bottom) {
            inside.push_back(entity);
        }
    }
    SetPreselection(std::move(inside));
    LogPreselection("rectangle", &area);
}

void DrawingWindow::CancelRectangle() {
    if (!selecting_) return;
    selecting_ = false;
    rectangleDrawn_ = false;
    ReleaseCapture();
    InvalidateRect(hwnd_, nullptr, FALSE);
}

RECT DrawingWindow::RectangleArea() const {
    return {std::min(rectangleStart_.x, rectangleEnd_.x), std::min(rectangleStart_.y, rectangleEnd_.y),
            std::max(rectangleStart_.x, rectangleEnd_.x) + 1, std::max(rectangleStart_.y, rectangleEnd_.y) + 1};
}

void DrawingWindow::LogPreselection(const char* source, const RECT* area) const {
    std::string line = std::string("preselection source=") + source;
    if (area != nullptr) {
        POINT topLeft{area->left, area->top};
        ClientToScreen(hwnd_, &topLeft);
        line += " screen=" + std::to_string(topLeft.x) + "," + std::to_string(topLeft.y) + "," +
                std::to_string(area->right - area->left) + "," + std::to_string(area->bottom - area->top);
    }
    std::string ids;
    for (const EntityState* entity : preselection_) ids += (ids.empty() ? "" : ",") + entity->definition.id;
    Server::Get().log.Line(line + " count=" + std::to_string(preselection_.size()) + " ids=" + ids);
}

PickOutcome DrawingWindow::QueuedPick(EntityState& entity) const {
    PickOutcome outcome;
    outcome.kind = PickOutcome::Kind::Entity;
    outcome.entity = &entity;
    outcome.x = (entity.bounds.left + entity.bounds.right) / 2.0;
    outcome.y = DrawingAreaHeight() - (entity.bounds.top + entity.bounds.bottom) / 2.0;
    return outcome;
}

PickOutcome DrawingWindow::WaitForPick(std::u16string_view prompt, int timeoutSeconds) {
    // A pick takes the mouse: a selection rectangle being drawn is dropped.
    CancelRectangle();
    picking_ = true;
    prompt_ = prompt;
    outcome_ = PickOutcome{};
    InvalidateRect(hwnd_, nullptr, FALSE);
    const ULONGLONG deadline = timeoutSeconds > 0 ? GetTickCount64() + ULONGLONG(timeoutSeconds) * 1000 : 0;
    while (picking_) {
        DWORD wait = INFINITE;
        if (deadline != 0) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline) {
                PickOutcome timeout;
                timeout.kind = PickOutcome::Kind::Timeout;
                EndPick(timeout);
                break;
            }
            wait = static_cast<DWORD>(deadline - now);
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message;
        while (picking_ && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam));
                EndPick(PickOutcome{});
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    prompt_.clear();
    InvalidateRect(hwnd_, nullptr, FALSE);
    if (closeAfterPick_) {
        closeAfterPick_ = false;
        PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    }
    return outcome_;
}

void DrawingWindow::EndPick(PickOutcome outcome) {
    outcome_ = outcome;
    picking_ = false;
}

LRESULT CALLBACK DrawingWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<DrawingWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<DrawingWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    try {
        return self->OnMessage(message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT DrawingWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == dumpMessage_ && dumpMessage_ != 0) {
        Server::Get().DumpReferences("request");
        return 1;
    }
    switch (message) {
    case WM_SIZE:
        Layout();
        InvalidateRect(hwnd_, nullptr, FALSE);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        const HDC dc = BeginPaint(hwnd_, &paint);
        RECT client;
        GetClientRect(hwnd_, &client);
        const HDC memory = CreateCompatibleDC(dc);
        const HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
        const HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
        const HGDIOBJ oldFont = SelectObject(memory, textFont_);
        Paint(memory);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
        SelectObject(memory, oldFont);
        SelectObject(memory, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(memory);
        EndPaint(hwnd_, &paint);
        return 0;
    }
    case WM_SETCURSOR:
        if (picking_ && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_CROSS));
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN: {
        const POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (picking_) {
            PickOutcome outcome;
            outcome.entity = HitTest(point);
            outcome.kind = outcome.entity != nullptr ? PickOutcome::Kind::Entity : PickOutcome::Kind::Miss;
            outcome.x = point.x;
            outcome.y = DrawingAreaHeight() - point.y;
            EndPick(outcome);
        } else if (!selecting_ && point.y < DrawingAreaHeight() && HitTest(point) == nullptr) {
            // With no command running, a press on empty space begins a selection rectangle.
            BeginRectangle(point);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (selecting_) MoveRectangle(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_LBUTTONUP:
        if (selecting_) EndRectangle(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return 0;
    case WM_CAPTURECHANGED:
        if (selecting_ && reinterpret_cast<HWND>(lParam) != hwnd_) CancelRectangle();
        return 0;
    case WM_RBUTTONDOWN:
        if (picking_) EndPick(PickOutcome{});
        return 0;
    case WM_KEYDOWN:
        if (wParam != VK_ESCAPE) return 0;
        if (picking_) {
            EndPick(PickOutcome{});
        } else if (selecting_) {
            CancelRectangle();
        } else if (!preselection_.empty()) {
            // Escape drops the grips, as in the CAD application.
            SetPreselection({});
            LogPreselection("escape", nullptr);
        }
        return 0;
    case WM_CLOSE:
        if (picking_) {
            closeAfterPick_ = true;
            EndPick(PickOutcome{});
            return 0;
        }
        DestroyWindow(hwnd_);
        return 0;
    case WM_DESTROY:
        hwnd_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

int DrawingWindow::DrawingAreaHeight() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    return std::max(0L, client.bottom - kStripHeight);
}

void DrawingWindow::Layout() {
    const HDC dc = GetDC(hwnd_);
    const HGDIOBJ oldFont = SelectObject(dc, textFont_);
    for (EntityState* entity : entities_) {
        const EntityDefinition& definition = entity->definition;
        switch (definition.kind) {
        case EntityKind::Text:
        case EntityKind::Attribute:
        case EntityKind::AttributeDefinition: {
            const LONG width = TextLine(dc, 0, 0, entity->shown, textFont_, underlinedFont_, false).cx;
            entity->bounds = {definition.x1, definition.y1, definition.x1 + std::max(width, 8L), definition.y1 + kLineHeight};
            break;
        }
        case EntityKind::MText: {
            const SIZE size = DrawMText(dc, 0, 0, LayOutMText(entity->shown, kTextHeight), LookOf(definition.kind), false);
            entity->bounds = {definition.x1, definition.y1, definition.x1 + std::max(size.cx, 8L), definition.y1 + std::max(size.cy, 8L)};
            break;
        }
        case EntityKind::MLeader: {
            const SIZE size = DrawMText(dc, 0, 0, LayOutMText(LeaderContent(*entity), kTextHeight), LookOf(definition.kind), false);
            entity->bounds = {definition.x1 - kLeaderReach - 4, definition.y1, definition.x1 + std::max(size.cx, 8L),
                              definition.y1 + std::max(size.cy, LONG(kLeaderReach + 12))};
            break;
        }
        case EntityKind::Tolerance: {
            const std::vector<ToleranceBox> boxes = ToleranceBoxes(dc, *entity);
            entity->bounds = {definition.x1, definition.y1, boxes.back().frame.right, boxes.back().frame.bottom};
            break;
        }
        case EntityKind::Line:
            entity->bounds = {std::min(definition.x1, definition.x2), std::min(definition.y1, definition.y2), std::max(definition.x1, definition.x2) + 1,
                              std::max(definition.y1, definition.y2) + 1};
            break;
        case EntityKind::Block: {
            LONG width = 160;
            for (const EntityState* attribute : entity->attributes) {
                width = std::max(width, TextLine(dc, 0, 0, attribute->shown, textFont_, underlinedFont_, false).cx + 24);
            }
            entity->bounds = {definition.x1, definition.y1, definition.x1 + width,
                              definition.y1 + kLineHeight + 8 + LONG(entity->attributes.size()) * kLineHeight};
            LONG y = definition.y1 + kLineHeight + 4;
            for (EntityState* attribute : entity->attributes) {
                const LONG attributeWidth = TextLine(dc, 0, 0, attribute->shown, textFont_, underlinedFont_, false).cx;
                attribute->bounds = {definition.x1 + 12, y, definition.x1 + 12 + attributeWidth, y + kLineHeight};
                y += kLineHeight;
            }
            break;
        }
        case EntityKind::Dimension: {
            RECT bounds{std::min(definition.x1, definition.x2), std::min(definition.y1, definition.y2) - 1, std::max(definition.x1, definition.x2) + 1,
                        std::max(definition.y1, definition.y2) + 16};
            for (const DimensionTextBlock& block : DimensionTextBlocks(dc, *entity)) {
                if (block.lines.empty()) continue;
                bounds = Union(bounds, {block.topLeft.x, block.topLeft.y, block.topLeft.x + block.size.cx + 1, block.topLeft.y + block.size.cy});
            }
            entity->bounds = bounds;
            break;
        }
        case EntityKind::Table:
            entity->bounds = TableBounds(dc, *entity);
            break;
        }
    }
    SelectObject(dc, oldFont);
    ReleaseDC(hwnd_, dc);
}

void DrawingWindow::LogLayout(const EntityState& entity) const {
    POINT topLeft{entity.bounds.left, entity.bounds.top};
    ClientToScreen(hwnd_, &topLeft);
    const LONG width = entity.bounds.right - entity.bounds.left;
    const LONG height = entity.bounds.bottom - entity.bounds.top;
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, " kind=%s screen=%ld,%ld,%ld,%ld center=%ld,%ld", KindName(entity.definition.kind),
                  topLeft.x, topLeft.y, width, height, topLeft.x + width / 2, topLeft.y + height / 2);
    Server::Get().log.Line("layout " + entity.definition.id + buffer);
}

EntityState* DrawingWindow::HitTest(POINT point) const {
    for (auto it = entities_.rbegin(); it != entities_.rend(); ++it) {
        EntityState* entity = *it;
        const EntityDefinition& definition = entity->definition;
        if (definition.kind == EntityKind::Line) {
            if (SegmentDistance(point, {definition.x1, definition.y1}, {definition.x2, definition.y2}) <= kHitMargin + 1) return entity;
            continue;
        }
        RECT area = entity->bounds;
        InflateRect(&area, kHitMargin, kHitMargin);
        if (PtInRect(&area, point)) return entity;
    }
    return nullptr;
}

void DrawingWindow::Paint(HDC dc) const {
    RECT client;
    GetClientRect(hwnd_, &client);
    const HBRUSH background = CreateSolidBrush(kBackground);
    FillRect(dc, &client, background);
    DeleteObject(background);
    SetBkMode(dc, TRANSPARENT);

    for (const EntityState* entity : entities_) {
        const EntityDefinition& definition = entity->definition;
        const COLORREF color = ColorOf(definition.kind);
        const HPEN pen = CreatePen(PS_SOLID, 1, color);
        const HGDIOBJ oldPen = SelectObject(dc, pen);
        SetTextColor(dc, color);
        switch (definition.kind) {
        case EntityKind::Text:
        case EntityKind::Attribute:
        case EntityKind::AttributeDefinition:
            TextLine(dc, definition.x1, definition.y1, entity->shown, textFont_, underlinedFont_, true);
            break;
        case EntityKind::MText:
            DrawMText(dc, definition.x1, definition.y1, LayOutMText(entity->shown, kTextHeight), LookOf(definition.kind), true);
            break;
        case EntityKind::MLeader: {
            DrawMText(dc, definition.x1, definition.y1, LayOutMText(LeaderContent(*entity), kTextHeight), LookOf(definition.kind), true);
            const POINT landing{definition.x1 - 4, definition.y1 + kTextHeight / 2 + 2};
            const POINT tip{landing.x - kLeaderReach, landing.y + kLeaderReach};
            MoveToEx(dc, landing.x, landing.y, nullptr);
            LineTo(dc, tip.x, tip.y);
            const HBRUSH arrow = CreateSolidBrush(color);
            const HGDIOBJ oldBrush = SelectObject(dc, arrow);
            const POINT head[3] = {tip, {tip.x + 3, tip.y - 10}, {tip.x + 10, tip.y - 3}};
            Polygon(dc, head, 3);
            SelectObject(dc, oldBrush);
            DeleteObject(arrow);
            break;
        }
        case EntityKind::Tolerance: {
            const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
            for (const ToleranceBox& box : ToleranceBoxes(dc, *entity)) {
                Rectangle(dc, box.frame.left, box.frame.top, box.frame.right, box.frame.bottom);
                DrawMText(dc, box.frame.left + 5, box.frame.top + 4, box.lines, LookOf(definition.kind), true);
            }
            SelectObject(dc, oldBrush);
            break;
        }
        case EntityKind::Line:
            MoveToEx(dc, definition.x1, definition.y1, nullptr);
            LineTo(dc, definition.x2, definition.y2);
            break;
        case EntityKind::Block: {
            const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
            Rectangle(dc, entity->bounds.left, entity->bounds.top, entity->bounds.right, entity->bounds.bottom);
            SelectObject(dc, oldBrush);
            MoveToEx(dc, entity->bounds.left, definition.y1 + kLineHeight, nullptr);
            LineTo(dc, entity->bounds.right, definition.y1 + kLineHeight);
            TextLine(dc, definition.x1 + 6, definition.y1 + 2, definition.name, textFont_, underlinedFont_, true);
            SetTextColor(dc, ColorOf(EntityKind::Attribute));
            for (const EntityState* attribute : entity->attributes) {
                TextLine(dc, attribute->bounds.left, attribute->bounds.top, attribute->shown, textFont_, underlinedFont_, true);
            }
            break;
        }
        case EntityKind::Dimension: {
            MoveToEx(dc, definition.x1, definition.y1, nullptr);
            LineTo(dc, definition.x2, definition.y2);
            for (const POINT end : {POINT{definition.x1, definition.y1}, POINT{definition.x2, definition.y2}}) {
                MoveToEx(dc, end.x, end.y - 8, nullptr);
                LineTo(dc, end.x, end.y + 16);
                MoveToEx(dc, end.x - 5, end.y + 5, nullptr);
                LineTo(dc, end.x + 6, end.y - 6);
            }
            for (const DimensionTextBlock& block : DimensionTextBlocks(dc, *entity)) {
                DrawMText(dc, block.topLeft.x, block.topLeft.y, block.lines, LookOf(definition.kind), true);
            }
            break;
        }
        case EntityKind::Table:
            DrawTable(dc, *entity, color);
            break;
        }
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }

    PaintPreselection(dc);

    RECT strip{0, client.bottom - kStripHeight, client.right, client.bottom};
    const HBRUSH stripBrush = CreateSolidBrush(kStripBackground);
    FillRect(dc, &strip, stripBrush);
    DeleteObject(stripBrush);
    SelectObject(dc, stripFont_);
    SetTextColor(dc, RGB(0, 0, 0));
    // During a pick the prompt; else the raw text last written, codes and all.
    const std::wstring command = picking_ || lastWritten_.empty() ? L"Command: " + Displayable(prompt_) : lastWritten_;
    TextOutW(dc, 8, strip.top + 6, command.c_str(), static_cast<int>(command.size()));
    SelectObject(dc, textFont_);
}

void DrawingWindow::PaintPreselection(HDC dc) const {
    const HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const HPEN dashed = CreatePen(PS_DOT, 1, kHighlight);
    const HBRUSH grip = CreateSolidBrush(kGrip);
    const HBRUSH gripBorder = CreateSolidBrush(kGripBorder);
    const HGDIOBJ oldPen = SelectObject(dc, dashed);
    SetBkMode(dc, TRANSPARENT);
    const auto drawGrip = [&](LONG x, LONG y) {
        RECT square{x - kGripSize / 2 - 1, y - kGripSize / 2 - 1, x + kGripSize / 2 + 2, y + kGripSize / 2 + 2};
        FillRect(dc, &square, gripBorder);
        InflateRect(&square, -1, -1);
        FillRect(dc, &square, grip);
    };
    for (const EntityState* entity : preselection_) {
        const EntityDefinition& definition = entity->definition;
        if (definition.kind == EntityKind::Line) {
            // A line's grips: its ends and its middle.
            drawGrip(definition.x1, definition.y1);
            drawGrip(definition.x2, definition.y2);
            drawGrip((definition.x1 + definition.x2) / 2, (definition.y1 + definition.y2) / 2);
            continue;
        }
        RECT outline = entity->bounds;
        InflateRect(&outline, 3, 3);
        Rectangle(dc, outline.left, outline.top, outline.right, outline.bottom);
        for (const POINT corner : {POINT{outline.left, outline.top}, POINT{outline.right - 1, outline.top},
                                   POINT{outline.left, outline.bottom - 1}, POINT{outline.right - 1, outline.bottom - 1}}) {
            drawGrip(corner.x, corner.y);
        }
    }
    if (selecting_ && rectangleDrawn_) {
        const HPEN solid = CreatePen(PS_SOLID, 1, kSelectionRectangle);
        SelectObject(dc, solid);
        const RECT area = RectangleArea();
        Rectangle(dc, area.left, area.top, area.right, area.bottom);
        SelectObject(dc, dashed);
        DeleteObject(solid);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(dashed);
    DeleteObject(grip);
    DeleteObject(gripBorder);
}

}  // namespace cadstandin
