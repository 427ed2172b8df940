#pragma once
// What the drop-down selector holds and where its parts lie, apart from any window: the item
// texts, the selection, and the geometry of the field, text and arrow image. The window class
// paints and handles the mouse with these. Portable: no operating-system headers.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class CSelectorModel {
public:
    static constexpr int kMaxItems = 29;          // the popup's commands are 300 + index
    static constexpr int kFirstCommand = 300;
    static constexpr int kCommandCount = 30;

    // Called after every selection, including a repeat of the current one.
    std::function<void()> onNotify;

    // Takes 1 to 29 texts; any other count leaves the old list. A selection that would point
    // past a shorter new list becomes none.
    void SetItems(const char* const* texts, int count);
    // Selects and notifies for an index within the list; ignores any other index silently.
    void SetSelection(int index);
    int GetSelection() const { return selection; }
    // A popup command 300 + k: selects k and notifies. The popup only ever offers existing
    // items; an index beyond the list leaves no selection rather than one past the end.
    void choose(int command);

    int itemCount() const { return static_cast<int>(items.size()); }
    const std::string& itemText(int index) const { return items[static_cast<size_t>(index)]; }
    // The selected item's text, or null when nothing is selected.
    const std::string* selectedText() const;

private:
    std::vector<std::string> items;
    int selection = -1;
};

// Geometry of a selector w pixels wide with an arrow strip of two images, stripWidth ×
// stripHeight in all, and a font of the given height.
struct SelectorGeometry {
    int width;
    int stripWidth;
    int stripHeight;
    int fontHeight;

    int height() const { return stripHeight + 2; }
    int arrowWidth() const { return stripWidth / 2; }
    int arrowX() const { return width - arrowWidth() - 1; }
    int textX() const { return 5; }
    int textY() const { return (stripHeight - fontHeight) / 2 + 1; }
    // A press opens the popup only right of the arrow image's first column.
    bool opensPopup(int x) const { return x > arrowX(); }
    // Where the popup opens, in client coordinates: under the control's left edge.
    int popupY() const { return stripWidth - 5; }
};
