#include "ui/WindowTree.h"

#include "ui/MessageCatalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace ui;

namespace {

class FakeWindow : public IWindowNode {
public:
    explicit FakeWindow(std::string text) : m_text(std::move(text)) {}
    FakeWindow(const FakeWindow&) = delete;
    FakeWindow& operator=(const FakeWindow&) = delete;

    std::string GetText() const override { return m_text; }
    void SetText(const std::string& text) override
    {
        m_text = text;
        ++setCount;
    }
    std::vector<IWindowNode*> GetChildren() const override { return m_children; }

    // Children live in the tree's storage, so that tearing down a deep
    // chain is not itself recursive.
    FakeWindow& Add(std::string text)
    {
        auto child = std::make_unique<FakeWindow>(std::move(text));
        child->m_storage = m_storage;
        FakeWindow& added = *child;
        m_storage->push_back(std::move(child));
        m_children.push_back(&added);
        return added;
    }

    int setCount = 0;

private:
    std::string m_text;
    std::vector<IWindowNode*> m_children;
    std::vector<std::unique_ptr<FakeWindow>> m_owned;
    std::vector<std::unique_ptr<FakeWindow>>* m_storage = &m_owned;
};

// A translator over a fixed table that records the ids it was asked about.
class TableTranslator {
public:
    TableTranslator(std::initializer_list<std::pair<const std::string, std::string>> table) : m_table(table) {}
    std::string Translate(const std::string& id) const
    {
        const auto it = m_table.find(id);
        return it == m_table.end() ? id : it->second;
    }
    bool HasTranslation(const std::string& id) const
    {
        asked.push_back(id);
        return m_table.contains(id);
    }
    mutable std::vector<std::string> asked;

private:
    std::map<std::string, std::string> m_table;
};

TEST(TranslateWindowTree, ReplacesOnlyWholeIds)
{
    InstallMessageCatalogue({{"Dialog", "Veltrana Tralvex"}, {"Close", "Shut"}});
    FakeWindow dialog("Dialog");
    FakeWindow& ids = dialog.Add("Dialog");
    FakeWindow& plain = dialog.Add("Just some words");
    FakeWindow& containing = dialog.Add("Close the Dialog");
    FakeWindow& empty = dialog.Add("");
    FakeWindow& button = dialog.Add("Close");

    TranslateWindowTree(dialog, CDefaultTranslator());

    EXPECT_EQ(dialog.GetText(), "Veltrana Tralvex");
    EXPECT_EQ(ids.GetText(), "Veltrana Tralvex");
    EXPECT_EQ(plain.GetText(), "Just some words");
    EXPECT_EQ(containing.GetText(), "Close the Dialog");
    EXPECT_EQ(empty.GetText(), "");
    EXPECT_EQ(button.GetText(), "Shut");
    EXPECT_EQ(plain.setCount, 0);
    EXPECT_EQ(empty.setCount, 0);
    LoadMessageCatalogue();
}

TEST(TranslateWindowTree, EmptyTextsAreNotLookedUp)
{
    TableTranslator translator({{"", "filled"}});
    FakeWindow root("");
    root.Add("");
    TranslateWindowTree(root, translator);
    EXPECT_TRUE(translator.asked.empty());
    EXPECT_EQ(root.GetText(), "");
}

TEST(TranslateWindowTree, VisitsEveryWindowOnceParentsFirst)
{
    // Translating twice would turn A into C.
    TableTranslator translator({{"A", "B"}, {"B", "C"}});
    FakeWindow root("A");
    FakeWindow& child = root.Add("A");
    FakeWindow& grandchild = child.Add("A");
    FakeWindow& second = root.Add("B");

    TranslateWindowTree(root, translator);

    EXPECT_EQ(root.GetText(), "B");
    EXPECT_EQ(child.GetText(), "B");
    EXPECT_EQ(grandchild.GetText(), "B");
    EXPECT_EQ(second.GetText(), "C");
    EXPECT_EQ(grandchild.setCount, 1);
    EXPECT_EQ(translator.asked, (std::vector<std::string>{"A", "A", "A", "B"}));
}

TEST(TranslateWindowTree, DeepTreeDoesNotExhaustStack)
{
    TableTranslator translator({{"X", "Y"}});
    FakeWindow root("X");
    FakeWindow* last = &root;
    for (int i = 0; i < 200000; ++i)
        last = &last->Add("X");
    TranslateWindowTree(root, translator);
    EXPECT_EQ(last->GetText(), "Y");
}

}  // namespace
