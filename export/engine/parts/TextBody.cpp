#include "export/engine/parts/TextBody.h"

#include <algorithm>

namespace engine::detail {

std::size_t TextBody::RunAt(std::size_t pos) const
{
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), pos, [](std::size_t p, const Run& r) { return p < r.start; });
    return std::size_t(it - m_runs.begin()) - 1;
}

std::size_t TextBody::ParagraphOf(std::size_t pos) const
{
    return std::size_t(std::lower_bound(m_marks.begin(), m_marks.end(), pos) - m_marks.begin());
}

void TextBody::Insert(std::size_t at, const std::u16string& text)
{
    at = std::min(at, m_chars.size());
    const std::size_t n = text.size();
    if (n == 0)
        return;
    // The run that grows: the one before the insertion point, else the first.
    std::size_t grown;
    if (m_runs.empty()) {
        m_runs.push_back({0, 0, {}});
        grown = 0;
    } else {
        grown = at > 0 ? RunAt(at - 1) : 0;
    }
    m_runs[grown].length += n;
    for (std::size_t i = grown + 1; i < m_runs.size(); ++i)
        m_runs[i].start += n;

    const std::size_t k = ParagraphOf(at);
    for (std::size_t i = k; i < m_marks.size(); ++i)
        m_marks[i] += n;
    std::vector<std::size_t> added;
    for (std::size_t i = 0; i < n; ++i)
        if (text[i] == u'\r')
            added.push_back(at + i);
    m_marks.insert(m_marks.begin() + std::ptrdiff_t(k), added.begin(), added.end());
    const ParaProps split = m_paras[k];
    m_paras.insert(m_paras.begin() + std::ptrdiff_t(k + 1), added.size(), split);
    m_chars.insert(at, text);
}

// Merged paragraphs keep the properties of the first of them.
void TextBody::Erase(std::size_t at, std::size_t count)
{
    at = std::min(at, m_chars.size());
    count = std::min(count, m_chars.size() - at);
    if (count == 0)
        return;
    const std::size_t k = ParagraphOf(at), k2 = ParagraphOf(at + count);
    m_paras.erase(m_paras.begin() + std::ptrdiff_t(k + 1), m_paras.begin() + std::ptrdiff_t(k2 + 1));
    m_marks.erase(m_marks.begin() + std::ptrdiff_t(k), m_marks.begin() + std::ptrdiff_t(k2));
    for (std::size_t i = k; i < m_marks.size(); ++i)
        m_marks[i] -= count;

    const std::size_t first = Split(at), last = Split(at + count);
    m_runs.erase(m_runs.begin() + std::ptrdiff_t(first), m_runs.begin() + std::ptrdiff_t(last));
    for (std::size_t i = first; i < m_runs.size(); ++i)
        m_runs[i].start -= count;
    m_chars.erase(at, count);
    if (!m_runs.empty())
        MergeAround(first, first);
}

std::size_t TextBody::Split(std::size_t pos)
{
    if (pos >= m_chars.size())
        return m_runs.size();
    const std::size_t r = RunAt(pos);
    if (m_runs[r].start == pos)
        return r;
    Run tail{pos, m_runs[r].start + m_runs[r].length - pos, m_runs[r].props};
    m_runs[r].length = pos - m_runs[r].start;
    m_runs.insert(m_runs.begin() + std::ptrdiff_t(r + 1), std::move(tail));
    return r + 1;
}

// Joins equal neighbours among runs first - 1 .. last.
void TextBody::MergeAround(std::size_t first, std::size_t last)
{
    const std::size_t lo = first > 0 ? first - 1 : 0;
    const std::size_t hi = std::min(last, m_runs.size() - 1);
    if (hi <= lo)
        return;
    std::size_t w = lo;
    for (std::size_t i = lo + 1; i <= hi; ++i) {
        if (m_runs[i].props == m_runs[w].props) {
            m_runs[w].length += m_runs[i].length;
        } else if (++w != i) {
            m_runs[w] = std::move(m_runs[i]);
        }
    }
    m_runs.erase(m_runs.begin() + std::ptrdiff_t(w + 1), m_runs.begin() + std::ptrdiff_t(hi + 1));
}

}  // namespace engine::detail
