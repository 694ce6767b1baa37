#pragma once
// The text of a text box as runs: spans of UTF-16 units sharing one set of
// properties. '\r' ends a paragraph; U+000B breaks a line inside one.
#include "export/Automation.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace engine::detail {

// The automation's underline styles (msoUnderline...), 0..17.
enum class Underline {
    None,
    Words,
    Single,
    Double,
    Heavy,
    Dotted,
    DottedHeavy,
    Dash,
    DashHeavy,
    DashLong,
    DashLongHeavy,
    DotDash,
    DotDashHeavy,
    DotDotDash,
    DotDotDashHeavy,
    Wavy,
    WavyHeavy,
    WavyDouble
};
enum class Alignment { Left = ppAlignLeft,
                       Center = ppAlignCenter,
                       Right = ppAlignRight,
                       Justify = ppAlignJustify };

// A property that a call set is written, also when set to its default.
struct RunProps {
    std::optional<bool> bold, italic;
    std::optional<Underline> underline;
    std::optional<float> kerning, spacing, size;
    std::optional<ColorRef> color;
    std::optional<std::string> name;
    bool operator==(const RunProps&) const = default;
};

struct ParaProps {
    std::optional<Alignment> alignment;
    std::optional<float> spaceWithin;
    bool operator==(const ParaProps&) const = default;
};

struct Run {
    std::size_t start = 0, length = 0;
    RunProps props;
};

class TextBody {
public:
    const std::u16string& Chars() const noexcept { return m_chars; }
    std::size_t Size() const noexcept { return m_chars.size(); }
    const std::vector<Run>& Runs() const noexcept { return m_runs; }
    // One entry per paragraph: one more than there are marks.
    const std::vector<ParaProps>& Paragraphs() const noexcept { return m_paras; }

    // Inserted text takes the properties of the character before it (of the
    // first character when inserted at the start; none in an empty body); a
    // new paragraph takes the properties of the paragraph it splits.
    void Insert(std::size_t at, const std::u16string& text);
    void Erase(std::size_t at, std::size_t count);

    // f(RunProps&) on [at, at + count): splits at most two runs.
    template <class F>
    void ApplyRuns(std::size_t at, std::size_t count, F f)
    {
        if (count == 0)
            return;
        const std::size_t first = Split(at), last = Split(at + count);
        for (std::size_t i = first; i < last; ++i)
            f(m_runs[i].props);
        MergeAround(first, last);
    }
    // The run index holding position pos (pos < Size()).
    std::size_t RunAt(std::size_t pos) const;
    // The paragraph holding position pos; Size() is in the last paragraph.
    std::size_t ParagraphOf(std::size_t pos) const;
    ParaProps& Paragraph(std::size_t index) { return m_paras[index]; }

    // The properties of the character at pos.
    const RunProps& PropsAt(std::size_t pos) const { return m_runs[RunAt(pos)].props; }

private:
    // Makes a run start at pos; returns its index (Runs().size() at the end).
    std::size_t Split(std::size_t pos);
    void MergeAround(std::size_t first, std::size_t last);

    std::u16string m_chars;
    std::vector<Run> m_runs;
    std::vector<std::size_t> m_marks;  // positions of '\r', ascending
    std::vector<ParaProps> m_paras{1};
};

}  // namespace engine::detail
