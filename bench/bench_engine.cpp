// Writes a 200-slide presentation with 2,000 text runs and 400 pictures
// (100 distinct files) and prints the wall time and peak memory.
#include "export/engine/Engine.h"

#include <FreeImage.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using namespace engine;

int main()
{
    const fs::path dir = fs::temp_directory_path() / ("bench-engine-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<fs::path> images;
    for (int i = 0; i < 100; ++i) {
        FIBITMAP* b = FreeImage_Allocate(256, 192, 24);
        for (unsigned y = 0; y < 192; ++y)
            for (unsigned x = 0; x < 256; ++x) {
                RGBQUAD c{BYTE(x * i), BYTE(y + i), BYTE((x ^ y) * 3), 0};
                FreeImage_SetPixelColor(b, x, y, &c);
            }
        images.push_back(dir / ("img" + std::to_string(i) + ".png"));
        FreeImage_Save(FIF_PNG, b, images.back().c_str());
        FreeImage_Unload(b);
    }
    const auto start = std::chrono::steady_clock::now();
    auto app = StartApplication();
    auto pres = app->Presentations()->Add();
    pres->PageSetup()->SetSlideWidth(424);
    pres->PageSetup()->SetSlideHeight(600);
    for (int s = 0; s < 200; ++s) {
        auto slide = pres->Slides()->Add(s + 1, ppLayoutBlank);
        slide->SetFollowMasterBackground(msoFalse);
        slide->BackgroundFill()->Solid();
        slide->BackgroundFill()->ForeColor()->SetRGB(0xFFFFFF);
        auto shapes = slide->Shapes();
        for (int p = 0; p < 2; ++p) {
            auto pic = shapes->AddPicture(images[(s * 2 + p) % 100], 0, -1, 0, 0, -1, -1);
            pic->ScaleWidth(1, msoTrue, 0);
            pic->ScaleHeight(1, msoTrue, 0);
            pic->SetWidth(200);
            pic->SetHeight(150);
            pic->SetLeft(10);
            pic->SetTop(10 + p * 200);
            pic->PictureFormat()->SetCropLeft(10);
        }
        auto box = shapes->AddTextbox(1, 10, 420, 400, 150);
        box->Fill()->SetVisible(0);
        box->Line()->SetVisible(0);
        auto r = box->TextFrame()->TextRange();
        for (int run = 0; run < 10; ++run) {
            auto a = r->InsertAfter("Run number " + std::to_string(run) + " of slide " + std::to_string(s));
            auto f = a->Font();
            f->SetBold(run % 2 ? msoTrue : msoFalse);
            f->SetItalic(msoFalse);
            f->SetUnderlineStyle(0);
            f->SetKerning(0);
            f->SetSpacing(0);
            f->SetName("Arial");
            f->SetSize(12);
            f->Fill()->Solid();
            f->Fill()->ForeColor()->SetRGB(0x202020 * (run % 8));
            if (run % 3 == 2)
                r->InsertAfter("\r\n")->ParagraphFormat()->SetAlignment(2);
        }
        r->InsertAfter("\r\n");
        r->Characters(r->Length(), -1)->Delete();
        r->ParagraphFormat()->SetSpaceWithin(1.02f);
        box->TextFrame()->SetAutoSize(0);
    }
    const auto built = std::chrono::steady_clock::now();
    const bool ok = pres->SaveAs(dir / "bench.pptx");
    const auto end = std::chrono::steady_clock::now();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("saved: %s, size %.1f KB\n", ok ? "yes" : "NO", ok ? fs::file_size(dir / "bench.pptx") / 1024.0 : 0.0);
    std::printf("build: %.1f ms, save: %.1f ms, total wall time: %.1f ms (target < 500 ms)\n", ms(built - start),
                ms(end - built), ms(end - start));
    std::printf("peak memory: %.1f MB (target < 100 MB)\n", ru.ru_maxrss / 1024.0);
    fs::remove_all(dir);
    return ok ? 0 : 1;
}
