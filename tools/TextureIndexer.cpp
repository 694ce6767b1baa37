// Writes the indexed form of each built-in texture image (see
// imaging/IndexedTexture.h) as <output folder>/<number>.idx, decoded and
// compressed by the program's own code; an empty file for a texture of more
// than 256 colours, which is tinted pixel by pixel at run time instead.
//
// usage: tralvex_texture_indexer <output folder> <texture file>...

#include "imaging/ArgbBitmap.h"
#include "imaging/IndexedTexture.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tralvex_texture_indexer <output folder> <texture file>...\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        for (int i = 2; i < argc; ++i) {
            const std::filesystem::path texture = argv[i];
            const imaging::ArgbBitmap bitmap = imaging::ArgbBitmap::FromFile(texture);
            if (bitmap.IsEmpty()) {
                std::fprintf(stderr, "tralvex_texture_indexer: cannot decode %s\n", texture.c_str());
                return 1;
            }
            const auto indexed = imaging::IndexTexture(bitmap);
            std::filesystem::path out = folder / texture.filename();
            out.replace_extension(".idx");
            std::ofstream file(out, std::ios::binary | std::ios::trunc);
            if (indexed)
                file << imaging::StoreIndexedTexture(*indexed);
            if (!file.flush()) {
                std::fprintf(stderr, "tralvex_texture_indexer: cannot write %s\n", out.c_str());
                return 1;
            }
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tralvex_texture_indexer: %s\n", error.what());
        return 1;
    }
    return 0;
}
