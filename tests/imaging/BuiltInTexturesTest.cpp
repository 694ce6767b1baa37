#include "imaging/ArgbBitmap.h"
#include "imaging/TextureFiles.h"
#include "resources/Textures.h"

#include "ImageTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <set>
#include <sstream>

using namespace imaging;

namespace {

// The texture table: id, format, then main / grayscale number for the aspect
// columns 0.7071, 0.8889, 1.0 and 1.4143.
const char* const kTable = R"(
bcover1 JPEG 7122 7123 7126 7127 7124 7125 7120 7121
bcover2 JPEG 7114 7115 7118 7119 7116 7117 7112 7113
bcover3 JPEG 7138 7139 7142 7143 7140 7141 7136 7137
bcover4 JPEG 7130 7131 7134 7135 7132 7133 7128 7129
bcover5 JPEG 7154 7155 7158 7159 7156 7157 7152 7153
bcover6 JPEG 7146 7147 7150 7151 7148 7149 7144 7145
bcover7 JPEG 7170 7171 7174 7175 7172 7173 7168 7169
bcover8 JPEG 7162 7163 7166 7167 7164 7165 7160 7161
bcover9 JPEG 7186 7187 7190 7191 7188 7189 7184 7185
bcover10 JPEG 7178 7179 7182 7183 7180 7181 7176 7177
bcover11 JPEG 7202 7203 7206 7207 7204 7205 7200 7201
bcover12 JPEG 7194 7195 7198 7199 7196 7197 7192 7193
bcover13 JPEG 7218 7219 7222 7223 7220 7221 7216 7217
bcover14 JPEG 7210 7211 7214 7215 7212 7213 7208 7209
bcover15 JPEG 7234 7235 7238 7239 7236 7237 7232 7233
bcover16 JPEG 7226 7227 7230 7231 7228 7229 7224 7225
bcover17 JPEG 7250 7251 7254 7255 7252 7253 7248 7249
bcover18 JPEG 7242 7243 7246 7247 7244 7245 7240 7241
bcover19 JPEG 7266 7267 7270 7271 7268 7269 7264 7265
bcover20 JPEG 7258 7259 7262 7263 7260 7261 7256 7257
bcover21 JPEG 7282 7283 7286 7287 7284 7285 7280 7281
bcover22 JPEG 7274 7275 7278 7279 7276 7277 7272 7273
bcover23 JPEG 7298 7299 7302 7303 7300 7301 7296 7297
bcover24 JPEG 7290 7291 7294 7295 7292 7293 7288 7289
bpage1 JPEG 7304 7305 7304 7305 7304 7305 7304 7305
bpage2 JPEG 7306 7307 7306 7307 7306 7307 7306 7307
bpage3 JPEG 7308 7309 7308 7309 7308 7309 7308 7309
bpage4 JPEG 7310 7311 7310 7311 7310 7311 7310 7311
bpage5 JPEG 7312 7313 7312 7313 7312 7313 7312 7313
A212DBF0-CBF4-405A-A5E6-12B205AF1FB1 PNG 7011 7010 7015 7014 7013 7012 7009 7008
17D585FC-FDD5-44C8-BEAC-0248C9F56718 PNG 7003 7002 7007 7006 7005 7004 7001 7000
D4C78B0F-E3FC-4D2E-A3DC-A89BBFE7C56A PNG 7027 7026 7031 7030 7029 7028 7025 7024
61492AD7-427D-44F9-BC47-40CED8D3523C PNG 7019 7018 7023 7022 7021 7020 7017 7016
37523D7A-6C50-4257-A928-031A3834A6F2 JPEG 7043 7042 7047 7046 7045 7044 7041 7040
40E707FF-736B-40B3-B2AE-8666FE53DAA5 PNG 7035 7034 7039 7038 7037 7036 7033 7032
E07A1A8E-04F1-4777-B247-6960651EC9A2 JPEG 7059 7058 7063 7062 7061 7060 7057 7056
AD774AFC-1096-4C09-8799-5948AA8444AF JPEG 7051 7050 7055 7054 7053 7052 7049 7048
8E91A2A6-C4F2-49B4-8029-48CECE3B273A JPEG 7074 7075 7078 7079 7076 7077 7072 7073
ECDF8E58-3850-4F99-A853-DC697ED5138B JPEG 7066 7067 7070 7071 7068 7069 7064 7065
78FF8E89-A4FE-46A1-8F9E-5D90758E8EF8 PNG 7091 7090 7095 7094 7093 7092 7089 7088
77180280-2F7C-4AD6-B519-6DAC56A35E0F PNG 7083 7082 7087 7086 7085 7084 7081 7080
250BB9C6-B030-4018-8D2B-67A36FA03EB4 PNG 7107 7106 7111 7110 7109 7108 7105 7104
A942B54A-2280-469F-8641-366873E660E5 PNG 7099 7098 7103 7102 7101 7100 7097 7096
EAF4D489-38DD-4F37-AE25-54390532214F PNG 7317 7316 7321 7320 7319 7318 7315 7314
1B4C5D3D-570B-4EF9-80AA-0212FC5092EA PNG 7325 7324 7329 7328 7327 7326 7323 7322
72274FEF-42D7-40B8-BF1F-FF25CCD8571F PNG 7333 7332 7337 7336 7335 7334 7331 7330
F9929178-2E69-4420-8509-AFC603785450 PNG 7341 7340 7345 7344 7343 7342 7339 7338
1B7B6065-9241-4FE7-B810-63366A444B96 PNG 7349 7348 7353 7352 7351 7350 7347 7346
744B1A07-FFC6-4F71-8622-83FD407090E5 JPEG 7355 7355 7357 7357 7356 7356 7354 7354
55E2F83B-ED98-4262-A245-D9DB55D39E75 JPEG 7361 7365 7360 7364 7358 7363 7359 7362
AC84637A-F895-47D9-8200-9EEC14B6521F JPEG 7369 7373 7368 7372 7367 7371 7366 7370
7406C5A6-5BB9-4478-9A3C-54F05D4CE353 JPEG 7377 7381 7376 7380 7374 7379 7375 7378
)";

struct Expected {
    bool png = false;
    int width = 0;       // nominal
    int widthSlack = 3;  // accepted distance from the nominal width
    int height = 800;
    bool grey = false;   // a grayscale image (also when it is the main one too)
    bool colour = false; // a main image that must not be grey
};

std::map<int, Expected> ExpectedImages()
{
    const int coverW[4] = {565, 706, 800, 1120};
    // GUID rows: 565..567, 706..712, 800..801, 1120..1132.
    const int guidW[4] = {566, 709, 800, 1126};
    const int guidSlack[4] = {1, 3, 1, 6};
    const int smallW[4] = {326, 410, 461, 645};
    std::vector<std::string> lines;
    std::istringstream in(kTable);
    for (std::string line; std::getline(in, line);)
        if (!line.empty())
            lines.push_back(line);
    std::map<int, Expected> images;
    for (std::size_t r = 0; r < lines.size(); ++r) {
        std::istringstream fields(lines[r]);
        std::string id, format;
        fields >> id >> format;
        const bool cover = id.rfind("bcover", 0) == 0, page = id.rfind("bpage", 0) == 0;
        const bool lastFour = r + 4 >= lines.size();
        for (int cell = 0; cell < 8; ++cell) {
            int number = 0;
            fields >> number;
            const int column = cell / 2;
            const bool gray = cell % 2 == 1;
            Expected e;
            e.png = format == "PNG";
            if (page) {
                e.width = coverW[0];
                e.widthSlack = 0;
            } else if (cover || lastFour) {
                e.width = coverW[column];
                e.widthSlack = 0;
            } else if (gray && id == "A212DBF0-CBF4-405A-A5E6-12B205AF1FB1") {
                e.width = smallW[column];
                e.height = 461;
                e.widthSlack = 0;
            } else {
                e.width = guidW[column];
                e.widthSlack = guidSlack[column];
            }
            auto [it, inserted] = images.emplace(number, e);
            if (!inserted) {
                EXPECT_EQ(it->second.width, e.width) << number << " listed with two sizes";
                EXPECT_EQ(it->second.png, e.png) << number;
            }
            if (gray)
                it->second.grey = true;
            else
                it->second.colour = true;
        }
    }
    // A texture that is its own grayscale image must be grey, not coloured.
    for (auto& [number, e] : images)
        if (e.grey)
            e.colour = false;
    return images;
}

TEST(BuiltInTextures, TableCoversEveryNumberOnce)
{
    const auto images = ExpectedImages();
    ASSERT_EQ(images.size(), 382u);
    EXPECT_EQ(images.begin()->first, 7000);
    EXPECT_EQ(images.rbegin()->first, 7381);
}

TEST(BuiltInTextures, EveryNumberIsAnImageOfTheListedFormatAndSize)
{
    imagingtest::ScratchFolder folder("all");
    for (const auto& [number, e] : ExpectedImages()) {
        SCOPED_TRACE(number);
        const auto bytes = resources::FindTextures(std::to_string(number));
        ASSERT_TRUE(bytes);
        ASSERT_GT(bytes->size(), 8u);
        const bool isPng = (*bytes)[0] == 0x89 && (*bytes)[1] == 'P' && (*bytes)[2] == 'N' && (*bytes)[3] == 'G';
        const bool isJpeg = (*bytes)[0] == 0xFF && (*bytes)[1] == 0xD8;
        EXPECT_EQ(isPng, e.png);
        EXPECT_EQ(isJpeg, !e.png);

        const auto file = GetTextureFile(number, folder.Path());
        ASSERT_FALSE(file.empty());
        ArgbBitmap bitmap = ArgbBitmap::FromFile(file);
        ASSERT_FALSE(bitmap.IsEmpty());
        EXPECT_LE(std::abs(bitmap.Width() - e.width), e.widthSlack) << bitmap.Width();
        EXPECT_LE(std::abs(bitmap.Height() - e.height), e.height == 800 ? 1 : 0) << bitmap.Height();

        int maxChroma = 0, transparent = 0, opaque = 0;
        for (const std::uint32_t p : bitmap.Pixels()) {
            const int r = static_cast<int>((p >> 16) & 0xFF), g = static_cast<int>((p >> 8) & 0xFF), b = static_cast<int>(p & 0xFF);
            maxChroma = std::max({maxChroma, std::abs(r - g), std::abs(g - b), std::abs(r - b)});
            const std::uint32_t a = p >> 24;
            transparent += a < 128 ? 1 : 0;
            opaque += a == 255 ? 1 : 0;
        }
        if (e.grey) {
            EXPECT_LE(maxChroma, 2) << "grayscale image has colour";
        }
        if (e.colour) {
            EXPECT_GE(maxChroma, 12) << "main image is grey";
        }
        if (e.png) {
            // Meaningful transparency: both clear and solid parts.
            EXPECT_GT(transparent, 0);
            EXPECT_GT(opaque, 0);
        } else {
            EXPECT_EQ(transparent, 0);
        }
        std::filesystem::remove(file);
    }
}

TEST(BuiltInTextures, MaterialsOfTheCoversDiffer)
{
    // Neighbouring covers use different materials: their grayscale patterns
    // (7123: bcover1, 7115: bcover2, ...) must not be the same picture.
    imagingtest::ScratchFolder folder("distinct");
    const int grays[] = {7123, 7115, 7139, 7131, 7155};
    std::vector<std::vector<std::uint32_t>> pixels;
    for (int number : grays) {
        ArgbBitmap bitmap = ArgbBitmap::FromFile(GetTextureFile(number, folder.Path()));
        ASSERT_EQ(bitmap.Width(), 565);
        pixels.emplace_back(bitmap.Pixels().begin(), bitmap.Pixels().end());
    }
    for (std::size_t i = 0; i < pixels.size(); ++i)
        for (std::size_t j = i + 1; j < pixels.size(); ++j) {
            long difference = 0;
            for (std::size_t k = 0; k < pixels[i].size(); k += 97)
                difference += std::abs(static_cast<int>(pixels[i][k] & 0xFF) - static_cast<int>(pixels[j][k] & 0xFF));
            EXPECT_GT(difference / static_cast<long>(pixels[i].size() / 97), 8) << grays[i] << " vs " << grays[j];
        }
}

}  // namespace
