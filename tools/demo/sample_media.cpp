#include "sample_media.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_image_write.h>

namespace demo {

namespace {

const double kPi = 3.14159265358979323846;

/* A small deterministic noise, so the picture compresses like a photo and not like a chart. */
uint32_t hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

/* Sky, sun, hills and a lake: smooth gradients with grain.  RGB, top-down. */
std::vector<uint8_t> DrawLandscape(int w, int h)
{
    std::vector<uint8_t> px((size_t)w * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double fx = (double)x / w, fy = (double)y / h;
            double r, g, b;
            double hill = 0.55 + 0.08 * sin(fx * 2 * kPi * 1.3) + 0.04 * sin(fx * 2 * kPi * 4.1 + 1);
            if (fy < hill) {  // sky, lighter towards the horizon
                r = 90 + 120 * fy;
                g = 140 + 90 * fy;
                b = 230 - 20 * fy;
                double dx = fx - 0.72, dy = fy - 0.22;
                double d = sqrt(dx * dx + dy * dy * 1.6);
                if (d < 0.07) {
                    r = 255, g = 236, b = 160;
                } else if (d < 0.2) {
                    double k = (0.2 - d) / 0.13;
                    r += (255 - r) * k * 0.6, g += (220 - g) * k * 0.5, b += (150 - b) * k * 0.4;
                }
            } else if (fy < 0.8) {  // hills
                double shade = (fy - hill) / (0.8 - hill + 1e-9);
                r = 60 + 40 * shade;
                g = 120 - 30 * shade;
                b = 50 + 10 * shade;
            } else {  // lake with a reflection of the sky
                double k = (fy - 0.8) / 0.2;
                r = 50 + 40 * (1 - k);
                g = 90 + 50 * (1 - k);
                b = 150 + 60 * (1 - k) + 10 * sin(fy * 180 + fx * 12);
            }
            double grain = ((int)(hash((uint32_t)(y * w + x)) & 31) - 16) * 0.8;
            uint8_t *p = &px[((size_t)y * w + x) * 3];
            p[0] = (uint8_t)fmin(255, fmax(0, r + grain));
            p[1] = (uint8_t)fmin(255, fmax(0, g + grain));
            p[2] = (uint8_t)fmin(255, fmax(0, b + grain));
        }
    }
    return px;
}

/* A round badge: concentric rings on white.  RGB, top-down. */
std::vector<uint8_t> DrawBadge(int w, int h)
{
    std::vector<uint8_t> px((size_t)w * h * 3, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double dx = x - w / 2.0 + 0.5, dy = y - h / 2.0 + 0.5;
            double d = sqrt(dx * dx + dy * dy) / (w / 2.0);
            if (d > 1)
                continue;
            int ring = (int)(d * 5);
            static const uint8_t colours[5][3] = {{200, 30, 40}, {250, 250, 250}, {200, 30, 40}, {30, 60, 160}, {250, 200, 40}};
            uint8_t *p = &px[((size_t)y * w + x) * 3];
            for (int c = 0; c < 3; ++c)
                p[c] = colours[ring][c];
        }
    return px;
}

/* A logo with a transparent background: a green leaf shape.  RGBA, top-down. */
std::vector<uint8_t> DrawLogo(int w, int h)
{
    std::vector<uint8_t> px((size_t)w * h * 4, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double u = (x - w / 2.0) / (w / 2.0), v = (y - h / 2.0) / (h / 2.0);
            double leaf = u * u / 0.35 + (v + 0.3 * u * u) * (v + 0.3 * u * u) / 0.9;
            if (leaf > 1)
                continue;
            uint8_t *p = &px[((size_t)y * w + x) * 4];
            bool vein = fabs(u) < 0.04 || fabs(v - 0.6 * fabs(u)) < 0.03;
            p[0] = vein ? 230 : (uint8_t)(40 + 40 * (1 - leaf));
            p[1] = vein ? 250 : (uint8_t)(140 + 80 * (1 - leaf));
            p[2] = vein ? 200 : 60;
            p[3] = 255;
        }
    return px;
}

bool WriteBytes(const std::string &path, const void *data, size_t size)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = size == 0 || fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

void Put16(std::vector<uint8_t> &v, uint16_t x)
{
    v.push_back((uint8_t)x);
    v.push_back((uint8_t)(x >> 8));
}

void Put32(std::vector<uint8_t> &v, uint32_t x)
{
    Put16(v, (uint16_t)x);
    Put16(v, (uint16_t)(x >> 16));
}

/* RIFF/WAVE, PCM: "RIFF" size "WAVE" "fmt " 16 {format 1, channels, rate, byte rate, block
 * align, bits} "data" size samples. */
std::vector<uint8_t> MakeTone(int rate, double seconds, double hz)
{
    int n = (int)(rate * seconds);
    std::vector<uint8_t> v;
    const char riff[] = "RIFF", wave[] = "WAVEfmt ", data[] = "data";
    v.insert(v.end(), riff, riff + 4);
    Put32(v, (uint32_t)(36 + n * 2));
    v.insert(v.end(), wave, wave + 8);
    Put32(v, 16);
    Put16(v, 1);
    Put16(v, 1);
    Put32(v, (uint32_t)rate);
    Put32(v, (uint32_t)rate * 2);
    Put16(v, 2);
    Put16(v, 16);
    v.insert(v.end(), data, data + 4);
    Put32(v, (uint32_t)n * 2);
    for (int i = 0; i < n; ++i) {
        double env = fmin(1.0, fmin(i, n - i) / (rate * 0.02));  // no clicks at the ends
        Put16(v, (uint16_t)(int16_t)(12000 * env * sin(2 * kPi * hz * i / rate)));
    }
    return v;
}

}  // namespace

bool MakeSampleFolder(const std::string &folder, std::vector<SampleFile> *files, std::string *error)
{
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    auto fail = [&](const std::string &name) {
        if (error)
            *error = "cannot write " + dir + name;
        return false;
    };
    files->clear();

    const int pw = 640, ph = 480;
    std::vector<uint8_t> photo = DrawLandscape(pw, ph);
    if (!stbi_write_jpg((dir + "photo.jpg").c_str(), pw, ph, 3, photo.data(), 88))
        return fail("photo.jpg");
    files->push_back({"photo.jpg", "640x480 photo-like JPEG"});

    std::vector<uint8_t> badge = DrawBadge(96, 96);
    if (!stbi_write_bmp((dir + "badge.bmp").c_str(), 96, 96, 3, badge.data()))
        return fail("badge.bmp");
    files->push_back({"badge.bmp", "96x96 24-bit BMP"});

    std::vector<uint8_t> logo = DrawLogo(128, 128);
    if (!stbi_write_png((dir + "logo.png").c_str(), 128, 128, 4, logo.data(), 128 * 4))
        return fail("logo.png");
    files->push_back({"logo.png", "128x128 PNG with transparency"});

    std::vector<uint8_t> tone = MakeTone(8000, 1.0, 440.0);
    if (!WriteBytes(dir + "tone.wav", tone.data(), tone.size()))
        return fail("tone.wav");
    files->push_back({"tone.wav", "1 s 440 Hz tone, 8 kHz 16-bit PCM"});

    const std::string note = "Greetings from the lake!\r\nSent with medley.\r\n";
    if (!WriteBytes(dir + "note.txt", note.data(), note.size()))
        return fail("note.txt");
    files->push_back({"note.txt", "a short text"});

    const std::string smil =
        "<smil>\n"
        "  <head>\n"
        "    <layout>\n"
        "      <root-layout width=\"176\" height=\"208\"/>\n"
        "      <region id=\"Image\" left=\"0\" top=\"0\" width=\"176\" height=\"144\"/>\n"
        "      <region id=\"Text\" left=\"0\" top=\"144\" width=\"176\" height=\"64\"/>\n"
        "    </layout>\n"
        "  </head>\n"
        "  <body>\n"
        "    <par dur=\"4000ms\">\n"
        "      <img src=\"photo.jpg\" region=\"Image\"/>\n"
        "      <text src=\"note.txt\" region=\"Text\"/>\n"
        "    </par>\n"
        "    <par dur=\"3000ms\">\n"
        "      <img src=\"logo.png\" region=\"Image\"/>\n"
        "      <audio src=\"tone.wav\"/>\n"
        "    </par>\n"
        "  </body>\n"
        "</smil>\n";
    if (!WriteBytes(dir + "show.smil", smil.data(), smil.size()))
        return fail("show.smil");
    files->push_back({"show.smil", "two-slide SMIL presentation"});
    return true;
}

}  // namespace demo
