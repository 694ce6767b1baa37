// Parse and write speed of the HTML text dialect on a book-sized text.
#include "text/HtmlParser.h"
#include "text/HtmlWriter.h"

#include <benchmark/benchmark.h>

namespace {

std::string SampleText(int paragraphs)
{
    std::string html = "<textformat leading=\"2\">";
    for (int i = 0; i < paragraphs; ++i)
        html += "<p align=\"left\"><font face=\"Arial\" size=\"12\" color=\"#000000\">Some <b>bold</b> and "
                "<i>italic</i> text &amp; a <a href=\"http://example.org\" target=\"_blank\">link</a><br>"
                "\xD0\xBC\xD0\xB8\xD1\x80 <font size=\"20\">big</font> end</font></p>";
    return html + "</textformat>";
}

void BM_Parse(benchmark::State& state)
{
    const std::string html = SampleText(static_cast<int>(state.range(0)));
    auto model = htmlparser::CreateFormattedText();
    for (auto _ : state)
        htmlparser::CHtmlParser().Parse(html, *model);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * html.size()));
}
BENCHMARK(BM_Parse)->Arg(1)->Arg(100);

void BM_Clone(benchmark::State& state)
{
    auto model = htmlparser::CreateFormattedText();
    htmlparser::CHtmlParser().Parse(SampleText(static_cast<int>(state.range(0))), *model);
    for (auto _ : state)
        benchmark::DoNotOptimize(model->Clone());
}
BENCHMARK(BM_Clone)->Arg(1)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
