#include "ui/SelectorModel.h"

void CSelectorModel::SetItems(const char* const* texts, int count)
{
    if (!texts || count <= 0 || count > kMaxItems)
        return;
    items.clear();
    for (int i = 0; i < count; ++i)
        items.emplace_back(texts[i] ? texts[i] : "");
    if (selection >= count)
        selection = -1;
}

void CSelectorModel::SetSelection(int index)
{
    if (index < 0 || index >= itemCount())
        return;
    selection = index;
    if (onNotify)
        onNotify();
}

void CSelectorModel::choose(int command)
{
    const int index = command - kFirstCommand;
    if (index < 0 || index >= kCommandCount)
        return;
    selection = index < itemCount() ? index : -1;
    if (onNotify)
        onNotify();
}

const std::string* CSelectorModel::selectedText() const
{
    if (selection < 0 || selection >= itemCount())
        return nullptr;
    return &items[static_cast<size_t>(selection)];
}
