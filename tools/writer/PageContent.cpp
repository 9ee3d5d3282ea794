#include "writer/PageContent.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace contentwriter {
namespace {

// The interface camera looks along +Y with Z up from (0, -20, 0), orthographic, 16 units high:
// on the default 540 x 960 screen x runs from -4.5 to 4.5 and z from -8 to 8. Nearer to the
// camera is smaller Y, so buttons (y 0) lie over their panels (y 0.5) and texts over both.
const float kPi = 3.14159265f;
const float kScreenHeight = 16;
const float kTextScale = 0.3f;    // the interface world's object scale ("menu.textScale")
const float kFontLine = 0.42f;    // line height of the sample font at scale 1 (28 pixels of 0.015)
const float kSlide = 14;          // how far an item slides in from the right and out to the left
const char* const kMenuMaterial = "menu/flat";
const char* const kBarMaterial = "menu/progressbar";
const char* const kVeilMaterial = "menu/veil";  // blended: the game shows through

struct Rgb {
    uint8_t r, g, b;
    uint8_t a = 255;
};

const Rgb kWhite{255, 255, 255}, kBlack{10, 10, 14}, kYellow{250, 200, 40}, kOrange{240, 130, 30},
    kRed{210, 50, 40}, kGreen{60, 170, 70}, kBlue{50, 110, 210}, kGrey{120, 120, 130}, kDark{30, 30, 40},
    kGold{230, 180, 60};

void putFloat(std::vector<uint8_t>& out, float f) {
    uint32_t u;
    static_assert(sizeof u == sizeof f, "float size");
    std::memcpy(&u, &f, 4);
    for (int i = 0; i < 4; ++i)
        out.push_back((uint8_t)(u >> (8 * i)));
}

// One object file: the node tree of one panel item and the flat coloured meshes of its nodes,
// all in one geometry. Vertices are in the local space of the node whose range draws them.
class Piece {
public:
    explicit Piece(const std::string& name) {
        file.version = 3;
        file.top.name = name;
    }

    // A flat quad on the node, centred at (x, z) of its space at depth y, facing the camera; u
    // runs 0..1 from left to right (the progress-bar shader fills along it).
    void rect(ObjectNodeDesc& node, float x, float z, float w, float h, Rgb c, const char* material = kMenuMaterial,
              float y = 0) {
        const float x0 = x - w * 0.5f, x1 = x + w * 0.5f, z0 = z - h * 0.5f, z1 = z + h * 0.5f;
        const float corners[4][4] = {{x0, z0, 0, 0}, {x1, z0, 1, 0}, {x1, z1, 1, 1}, {x0, z1, 0, 1}};
        fan(node, corners, 4, y, c, material);
    }

    // A flat disc of the given radius (a polygon of `sides` sides).
    void disc(ObjectNodeDesc& node, float x, float z, float radius, int sides, Rgb c, float y = 0) {
        float corners[64][4];
        if (sides > 63)
            sides = 63;
        for (int k = 0; k < sides; ++k) {
            const float a = 2 * kPi * (float)k / (float)sides;
            corners[k][0] = x + radius * std::cos(a);
            corners[k][1] = z + radius * std::sin(a);
            corners[k][2] = 0.5f + 0.5f * std::cos(a);
            corners[k][3] = 0.5f + 0.5f * std::sin(a);
        }
        fan(node, corners, sides, y, c, kMenuMaterial);
    }

    // A child drawn as one quad centred on its own origin, placed at (x, z).
    ObjectNodeDesc part(const std::string& name, float x, float z, float w, float h, Rgb c,
                        const char* material = kMenuMaterial, float y = -0.02f) {
        ObjectNodeDesc n;
        n.name = name;
        n.position = Vec3(x, y, z);
        rect(n, 0, 0, w, h, c, material);
        return n;
    }

    // A text line in the sample font whose lines are `line` units high, its first line centred
    // about (x, z). Text is laid out in the XZ plane facing -Y; the reader turns text children back a
    // quarter turn about X, so the file gives them a quarter turn forward.
    static ObjectNodeDesc text(const std::string& name, const std::string& caption, float x, float z, float line,
                               const char* alignment = "CENTER") {
        ObjectNodeDesc t;
        t.isText = true;
        t.name = name;
        t.text = caption;
        t.position = Vec3(x, -0.1f, z - line * 0.3f);  // glyphs stand on the origin
        t.rotation = Vec3(kPi * 0.5f, 0, 0);
        const float s = line / (kFontLine * kTextScale);
        t.scale = Vec3(s, s, s);
        t.size = 1;
        t.alignment = alignment;
        t.font = "dejavu_sans";
        return t;
    }

    // A button: a quad with its own mesh (its screen rectangle comes from it) and a caption child.
    // onTouch binds the event to the finger going down instead of being lifted.
    ObjectNodeDesc button(const std::string& name, const std::string& event, float x, float z, float w, float h,
                          Rgb c, const std::string& caption, bool onTouch = false) {
        ObjectNodeDesc b = part(name, x, z, w, h, c, kMenuMaterial, -0.05f);
        b.properties = {{"class", "Button"}, {onTouch ? "onTouch" : "onTouchUpInside", event}};
        if (!caption.empty())
            b.children.push_back(text(name + "_caption", caption, 0, 0, std::min(0.55f, h * 0.5f)));
        return b;
    }

    std::vector<uint8_t> bytes() {
        file.mesh.attributes = {{"vertPos", 3, 0}, {"texCoords0", 2, 0}, {"vertNormal", 3, 0}, {"vertColor", 4, 1}};
        file.mesh.vertexCount = _vertexCount;
        file.mesh.vertexBytes = _vertexBytes;
        file.mesh.indices = _indices;
        file.mesh.boundsMin = _low;
        file.mesh.boundsMax = _high;
        return writeObjectFile(file);
    }

    ObjectFileDesc file;

private:
    void fan(ObjectNodeDesc& node, const float (*corners)[4], int count, float y, Rgb c, const char* material) {
        const uint16_t first = (uint16_t)_vertexCount;
        for (int k = 0; k < count; ++k) {
            const float px = corners[k][0], pz = corners[k][1];
            for (float f : {px, y, pz, corners[k][2], corners[k][3], 0.0f, -1.0f, 0.0f})
                putFloat(_vertexBytes, f);
            for (uint8_t b : {c.r, c.g, c.b, c.a})
                _vertexBytes.push_back(b);
            widen(Vec3(px, y, pz));
        }
        const uint16_t firstIndex = (uint16_t)_indices.size();
        for (int k = 1; k + 1 < count; ++k)
            for (uint16_t i : {first, (uint16_t)(first + k), (uint16_t)(first + k + 1)})
                _indices.push_back(i);
        MaterialRangeDesc r;
        r.material = material;
        r.firstFloat = (uint32_t)first * 11;
        r.floatCount = (uint32_t)count * 11;
        r.firstIndex = firstIndex;
        r.indexCount = (uint16_t)(_indices.size() - firstIndex);
        node.ranges.push_back(r);
        _vertexCount += (uint32_t)count;
    }
    void widen(const Vec3& p) {
        if (!_any) {
            _low = _high = p;
            _any = true;
            return;
        }
        _low = Vec3(std::min(_low.x, p.x), std::min(_low.y, p.y), std::min(_low.z, p.z));
        _high = Vec3(std::max(_high.x, p.x), std::max(_high.y, p.y), std::max(_high.z, p.z));
    }

    std::vector<uint8_t> _vertexBytes;
    std::vector<uint16_t> _indices;
    uint32_t _vertexCount = 0;
    Vec3 _low, _high;
    bool _any = false;
};

float ease(float t) { return t * t * (3 - 2 * t); }

// Key frames of an item that slides: frames 0-6 in from the right ("in"), 6-7 still ("idle"),
// 7-13 out to the left ("out"); the configuration names these ranges.
std::vector<SceneKeyDesc> slideKeys(const Vec3& at) {
    std::vector<SceneKeyDesc> keys;
    for (int f = 0; f <= 13; ++f) {
        float dx;
        if (f <= 6)
            dx = kSlide * (1 - ease((float)f / 6.0f));
        else if (f == 7)
            dx = 0;
        else
            dx = -kSlide * ease((float)(f - 7) / 6.0f);
        SceneKeyDesc k;
        k.position = Vec3(at.x + dx, at.y, at.z);
        keys.push_back(k);
    }
    return keys;
}

// One page: a binary scene of item nodes (each an object file of its own), align anchors and
// markers.
class Page {
public:
    explicit Page(const std::string& panel) : _panel(panel), _scene("BIN1.1") {}

    // The interface camera; only the first page loaded carries it (every page draws through it).
    // It is orthographic, so its distance changes only the depth the pages are drawn at: far
    // enough back that the menu world's 3D objects (the shop's figures, drawn after the
    // interface without clearing its depth) stand in front of the page.
    void camera() {
        _scene.camera("MenuCamera", Vec3(0, -75, 0), Vec3(kPi * 0.5f, 0, 0), Layers::bits(1), 0, kScreenHeight);
    }

    // The item node "<panel>_<node>" from the piece; slides in and out unless `still` (items that
    // an extension moves itself).
    void item(Piece& piece, float x, float z, float y = 0, bool still = false,
              const std::vector<std::string>& groups = {}) {
        const std::string& name = piece.file.top.name;
        const Vec3 at(x, y, z);
        _scene.object(name, "objects/menu", name, at, Vec3(0, 0, 0), Vec3(1, 1, 1), {}, groups, Layers::bits(1),
                      still ? std::vector<SceneKeyDesc>() : slideKeys(at));
        _files.push_back({"objects/menu/" + name + ".object", piece.bytes()});
    }
    // As item, with key frames of its own.
    void keyedItem(Piece& piece, float x, float z, const std::vector<SceneKeyDesc>& keys) {
        const std::string& name = piece.file.top.name;
        _scene.object(name, "objects/menu", name, Vec3(x, 0, z), Vec3(0, 0, 0), Vec3(1, 1, 1), {}, {},
                      Layers::bits(1), keys);
        _files.push_back({"objects/menu/" + name + ".object", piece.bytes()});
    }
    // A named EMPTY: a marker, or with "align" the anchor of the group of the same name.
    void empty(const std::string& name, float x, float z, const Properties& properties = {}) {
        _scene.empty(name, Vec3(x, 0, z), Vec3(0, 0, 0), Vec3(1, 1, 1), properties, {}, Layers::bits(1));
    }

    std::vector<ContentFile> files() {
        std::vector<ContentFile> out = _files;
        out.push_back({pagePath(_panel), _scene.bytes()});
        return out;
    }

private:
    std::string _panel;
    BinarySceneWriter _scene;
    std::vector<ContentFile> _files;
};

// A full-screen panel colour with a title; wide enough for screens up to a square. A see-through
// colour (alpha below 255) lets the game world show behind the page.
Piece background(const std::string& name, Rgb colour, const std::string& title, Rgb band) {
    Piece p(name);
    p.rect(p.file.top, 0, 0, 20, 18, colour, colour.a < 255 ? kVeilMaterial : kMenuMaterial, 0.5f);
    p.file.top.children.push_back(p.part("band", 0, 6.6f, 20, 1.8f, band, kMenuMaterial, 0.4f));
    if (!title.empty())
        p.file.top.children.push_back(Piece::text("title", title, 0, 6.6f, 1.1f));
    return p;
}

// An item that is one button (its event on lift), with an optional "available" marker.
Piece buttonItem(const std::string& name, const std::string& event, float w, float h, Rgb c,
                 const std::string& caption, bool available = false) {
    Piece p(name);
    p.file.top.children.push_back(p.button("button", event, 0, 0, w, h, c, caption));
    if (available)
        p.file.top.children.push_back(p.part("available", w * 0.5f - 0.15f, h * 0.5f - 0.15f, 0.4f, 0.4f, kRed,
                                             kMenuMaterial, -0.2f));
    return p;
}

// A bar of the progress-bar look under a dark frame: the node "progressbar" fills along x.
ObjectNodeDesc progressBar(Piece& p, float x, float z, float w, float h) {
    ObjectNodeDesc frame = p.part("frame", x, z, w + 0.12f, h + 0.12f, kBlack, kMenuMaterial, 0.01f);
    ObjectNodeDesc bar = p.part("progressbar", 0, 0, w, h, kWhite, kBarMaterial, -0.02f);
    frame.children.push_back(bar);
    return frame;
}

std::string twoDigits(int n) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", n);
    return b;
}

// ---------------------------------------------------------------------------------------------
// The title set.

std::vector<ContentFile> loadingPage() {
    Page page("loading");
    page.camera();
    Piece p("loading_panel");
    p.rect(p.file.top, 0, 0, 20, 18, Rgb{20, 30, 70}, kMenuMaterial, 0.5f);
    p.file.top.children.push_back(Piece::text("title", "ZELVAN", 0, 2.5f, 1.6f));
    p.file.top.children.push_back(Piece::text("subtitle", "rails without end", 0, 1.2f, 0.5f));
    p.file.top.children.push_back(p.part("bar_frame", 0, -3.5f, 7.0f, 0.8f, kBlack, kMenuMaterial, 0.2f));
    for (int i = 0; i <= 10; ++i)
        p.file.top.children.push_back(
            p.part("progressbar" + twoDigits(i), -3.0f + 0.6f * (float)i, -3.5f, 0.5f, 0.55f, kOrange));
    p.file.top.children.push_back(Piece::text("caption", "", 0, -2.4f, 0.5f));
    page.item(p, 0, 0, 0, true);
    return page.files();
}

// ---------------------------------------------------------------------------------------------
// The menu set.

std::vector<ContentFile> mainPage() {
    Page page("main");
    Piece bg = background("main_background", Rgb{40, 120, 60, 110}, "ZELVAN", Rgb{20, 80, 40});
    bg.file.top.children.push_back(Piece::text("subtitle", "rails without end", 0, 5.2f, 0.5f));
    page.item(bg, 0, 0, 0.5f);
    Piece start = buttonItem("main_start", "onMainStart", 5.0f, 1.5f, kYellow, "PLAY");
    page.item(start, 0, 2.0f);
    Piece map = buttonItem("main_map", "onMainMap", 3.0f, 1.0f, kBlue, "MAP");
    page.item(map, -1.7f, 0.2f);
    Piece mission = buttonItem("main_mission", "onMainMissions", 3.0f, 1.0f, kBlue, "MISSIONS", true);
    page.item(mission, 1.7f, 0.2f);
    Piece shop = buttonItem("main_shop", "onMainShop", 6.4f, 1.0f, kOrange, "SHOP", true);
    page.item(shop, 0, -1.4f);
    Piece characters =
        buttonItem("main_shop_characters", "onMainShopSelectCharacters", 3.0f, 1.0f, kOrange, "CHARACTERS", true);
    page.item(characters, -1.7f, -3.0f);
    Piece trains = buttonItem("main_shop_trains", "onMainShopSelectTrains", 3.0f, 1.0f, kOrange, "TRAINS", true);
    page.item(trains, 1.7f, -3.0f);
    Piece options = buttonItem("main_options", "onMainOptions", 3.0f, 1.0f, kGrey, "OPTIONS");
    page.item(options, -1.7f, -5.2f);
    Piece tutorial = buttonItem("main_tutorial", "onTutorialStart", 3.0f, 1.0f, kGrey, "TUTORIAL");
    page.item(tutorial, 1.7f, -5.2f);
    return page.files();
}

std::vector<ContentFile> tutorialPage() {
    Page page("tutorial");
    Piece bg = background("tutorial_background", Rgb{30, 120, 130, 130}, "HOW TO PLAY", Rgb{15, 80, 90});
    const char* lines[] = {"Swipe left or right to change rails", "Swipe up to leap, down to brake",
                           "Collect coins, tickets and letters", "Tilt to lean into the curves"};
    for (int i = 0; i < 4; ++i)
        bg.file.top.children.push_back(
            Piece::text("line" + twoDigits(i), lines[i], 0, 4.0f - 1.0f * (float)i, 0.42f));
    page.item(bg, 0, 0, 0.5f);
    Piece start = buttonItem("tutorial_start", "onTutorialStart", 5.0f, 1.5f, kYellow, "START TUTORIAL");
    page.item(start, 0, -2.0f);
    Piece skip = buttonItem("tutorial_skip", "onMainStart", 3.0f, 1.0f, kGrey, "SKIP");
    page.item(skip, 0, -4.0f);
    return page.files();
}

std::vector<ContentFile> optionsPage() {
    Page page("options");
    Piece bg = background("options_background", Rgb{90, 50, 130, 130}, "OPTIONS", Rgb{60, 30, 90});
    bg.file.top.children.push_back(Piece::text("hint", "drag a volume left or right", 0, 2.6f, 0.38f));
    page.item(bg, 0, 0, 0.5f);
    // The volume buttons run their event as the finger goes down, so the options screen can take
    // the drag that follows.
    Piece music("options_music");
    music.file.top.children.push_back(music.button("button", "onOptionsMusic", 0, 0, 6.4f, 1.1f, kBlue, "", true));
    music.file.top.children.push_back(Piece::text("label", "Music 100%", 0, 0, 0.55f));
    page.item(music, 0, 4.9f);
    Piece sound("options_sound");
    sound.file.top.children.push_back(sound.button("button", "onOptionsSFX", 0, 0, 6.4f, 1.1f, kBlue, "", true));
    sound.file.top.children.push_back(Piece::text("label", "Sound 100%", 0, 0, 0.55f));
    page.item(sound, 0, 3.5f);
    Piece links("options_links");
    const struct {
        const char* name;
        const char* event;
        const char* caption;
    } buttons[] = {{"tutorial", "onOptionsTutorial", "TUTORIAL"}, {"gamecenter", "onOptionsGamecenter", "SCORES"},
                   {"facebook", "onOptionsFacebook", "FACEBOOK"}, {"twitter", "onOptionsTwitter", "TWITTER"},
                   {"morefun", "onOptionsMorefun", "MORE GAMES"}, {"web", "onOptionsKavelWeb", "WEB SITE"},
                   {"restore", "onOptionsRestorePurchases", "RESTORE"}, {"credits", "onOptionsCredits", "CREDITS"}};
    for (int i = 0; i < 8; ++i)
        links.file.top.children.push_back(links.button(buttons[i].name, buttons[i].event, i % 2 ? 1.7f : -1.7f,
                                                       -1.3f * (float)(i / 2), 3.0f, 1.0f, kGrey,
                                                       buttons[i].caption));
    page.item(links, 0, 1.4f);
    Piece back = buttonItem("options_back", "onOptionsBack", 3.0f, 1.0f, kRed, "BACK");
    page.item(back, 0, -6.2f);
    return page.files();
}

std::vector<ContentFile> creditsPage() {
    Page page("credits");
    Piece bg = background("credits_background", Rgb{45, 45, 55, 150}, "CREDITS", Rgb{25, 25, 35});
    page.item(bg, 0, 0, 0.5f);
    // The credits extension moves this item itself, between the markers below.
    Piece scroll("credits_scroll");
    scroll.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.45f));
    page.item(scroll, 0, -5.5f, 0, true);
    page.empty("credits_up", 0, 5.5f);
    page.empty("credits_down", 0, -5.5f);
    Piece back = buttonItem("credits_back", "onCreditsBack", 3.0f, 1.0f, kRed, "BACK");
    page.item(back, 0, -6.8f, -0.3f);
    return page.files();
}

// Shop rows: templates the shop copies once per catalogue entry. They are not automatic (hidden
// until the shop lists a copy) and do not slide: the shop places every copy itself.
const float kRowWidth = 8.4f, kRowHeight = 1.7f;

Piece rowBase(const std::string& name, Rgb colour) {
    Piece p(name);
    p.rect(p.file.top, 0, 0, kRowWidth, kRowHeight, colour, kMenuMaterial, 0.2f);
    p.file.top.children.push_back(Piece::text("name", "", -2.0f, 0.45f, 0.45f, "LEFT"));
    p.file.top.children.push_back(Piece::text("price", "", 2.6f, 0.45f, 0.42f, "RIGHT"));
    p.file.top.children.push_back(Piece::text("description", "", -2.0f, -0.15f, 0.32f, "LEFT"));
    p.file.top.children.push_back(p.part("coin", 3.0f, 0.45f, 0.35f, 0.35f, kGold));
    return p;
}

void addPips(Piece& p, const std::string& prefix, float x, float z, Rgb c) {
    for (int i = 1; i <= 5; ++i)
        p.file.top.children.push_back(p.part(prefix + twoDigits(i), x + 0.3f * (float)(i - 1), z, 0.22f, 0.22f, c));
}

void addIcons(Piece& p, const std::vector<std::pair<std::string, Rgb>>& icons) {
    p.file.top.children.push_back(p.part("icon00", -3.4f, 0, 1.1f, 1.1f, kGrey));
    for (const auto& icon : icons)
        p.file.top.children.push_back(p.part(icon.first, -3.4f, 0, 1.0f, 1.0f, icon.second, kMenuMaterial, -0.04f));
}

// Rows with a 3D figure: "view" marks where it stands; "selected" pulses around the chosen one.
// The pulse stays inside the row's height (at most 2% larger), so that the row's measure, and
// with it the rows below, do not move with it.
void addFigureParts(Piece& p) {
    p.file.top.children.push_back(p.part("view", -3.3f, 0, 1.4f, 1.4f, Rgb{70, 60, 50}, kMenuMaterial, 0.1f));
    p.file.top.children.push_back(p.part("selected", 0, 0, kRowWidth + 0.3f, kRowHeight - 0.1f, kGold,
                                         kMenuMaterial, 0.3f));
    p.file.top.children.push_back(p.part("flag", 3.8f, 0.55f, 0.35f, 0.5f, kGreen));
    p.file.top.children.push_back(p.button("button", "onShopItem", -3.3f, 0, 1.4f, 1.4f, Rgb{90, 80, 70}, ""));
    p.file.top.children.push_back(p.button("button_buy", "onShopItem", 2.9f, -0.45f, 1.8f, 0.6f, kGreen, "BUY"));
    p.file.top.children.push_back(
        p.button("button_select", "onShopItem", 2.9f, -0.45f, 1.8f, 0.6f, kBlue, "SELECT"));
}

Piece header(const std::string& name, const std::string& title) {
    Piece p(name);
    p.rect(p.file.top, 0, 0, kRowWidth, 0.8f, Rgb{60, 30, 10}, kMenuMaterial, 0.2f);
    p.file.top.children.push_back(Piece::text("title", title, 0, 0, 0.5f));
    return p;
}

std::vector<ContentFile> shopPage() {
    Page page("shop");
    Piece bg = background("shop_background", Rgb{140, 80, 30}, "SHOP", Rgb{100, 50, 15});
    page.item(bg, 0, 0, 0.8f);
    // Balances.
    Piece coins("shop_coins");
    coins.file.top.children.push_back(coins.part("icon", -1.2f, 0, 0.5f, 0.5f, kGold));
    coins.file.top.children.push_back(Piece::text("amount", "0 ", -0.8f, 0, 0.5f, "LEFT"));
    coins.file.top.children.push_back(coins.button("more", "onShopCoin2", 1.3f, 0, 0.6f, 0.6f, kGreen, "+"));
    page.item(coins, -2.2f, 5.3f, -0.5f);
    Piece tickets("shop_tickets");
    tickets.file.top.children.push_back(tickets.part("icon", -1.2f, 0, 0.5f, 0.35f, kRed));
    tickets.file.top.children.push_back(Piece::text("amount", "0 ", -0.8f, 0, 0.5f, "LEFT"));
    tickets.file.top.children.push_back(tickets.button("more", "onShopTicket2", 1.3f, 0, 0.6f, 0.6f, kGreen, "+"));
    page.item(tickets, 2.2f, 5.3f, -0.5f);
    // Tabs.
    const struct {
        const char* name;
        const char* event;
        const char* caption;
    } tabs[] = {{"boosts", "onShopSelectBoosts", "BOOSTS"}, {"characters", "onShopSelectCharacters", "CHARS"},
                {"trains", "onShopSelectTrains", "TRAINS"}, {"skins", "onShopSelectSkin", "SKINS"},
                {"bank", "onShopSelectBank", "BANK"}};
    for (int i = 0; i < 5; ++i) {
        Piece tab = buttonItem(std::string("shop_tab_") + tabs[i].name, tabs[i].event, 1.65f, 0.8f, kYellow,
                               tabs[i].caption, i < 4);
        page.item(tab, -3.6f + 1.8f * (float)i, 4.2f, -0.5f);
    }
    // Covers above and below the list window: rows scrolled out of the window pass behind them
    // (in front of the rows, behind the tabs, balances and buttons).
    Piece coverTop("shop_cover_top");
    coverTop.rect(coverTop.file.top, 0, 0, 20, 5.4f, Rgb{140, 80, 30}, kMenuMaterial, 0.1f);
    coverTop.file.top.children.push_back(coverTop.part("band", 0, 0.3f, 20, 1.8f, Rgb{100, 50, 15}, kMenuMaterial, 0.05f));
    coverTop.file.top.children.push_back(Piece::text("title", "SHOP", 0, 0.3f, 1.1f));
    page.item(coverTop, 0, 6.3f, -0.25f);
    Piece coverBottom("shop_cover_bottom");
    coverBottom.rect(coverBottom.file.top, 0, 0, 20, 3.0f, Rgb{140, 80, 30}, kMenuMaterial, 0.1f);
    page.item(coverBottom, 0, -8.1f, -0.25f);
    Piece back = buttonItem("shop_back", "onShopBack", 3.0f, 0.9f, kRed, "BACK");
    page.item(back, 0, -7.3f, -0.5f);
    // The list window: rows are laid out from the upper marker down to the lower one.
    page.empty("shop_up", 0, 3.6f);
    page.empty("shop_down", 0, -6.6f);

    Piece item = rowBase("shop_table_item", Rgb{100, 65, 40});
    addIcons(item, {{"icon_brake", kRed}, {"icon_magnet", kBlue}, {"icon_shield", kGreen}, {"icon_turbo", kOrange}});
    addPips(item, "update", -2.0f, -0.6f, kGreen);
    item.file.top.children.push_back(item.button("button_buy", "onShopItem", 2.9f, -0.45f, 1.8f, 0.6f, kGreen, "BUY"));
    page.item(item, 0, 0, 0, true);

    Piece object = rowBase("shop_table_object", Rgb{75, 75, 65});
    object.file.top.children.push_back(object.part("view", -3.3f, 0, 1.4f, 1.4f, Rgb{70, 60, 50}, kMenuMaterial, 0.1f));
    page.item(object, 0, 0, 0, true);

    Piece character = rowBase("shop_table_character", Rgb{110, 60, 45});
    addFigureParts(character);
    page.item(character, 0, 0, 0, true);

    Piece train = rowBase("shop_table_train", Rgb{45, 65, 110});
    addFigureParts(train);
    train.file.top.children.push_back(
        train.button("button_info", "onShopItem", 2.9f, -0.45f, 1.8f, 0.6f, kGrey, "INFO"));
    train.file.top.children.push_back(train.part("locked", 3.8f, 0.0f, 0.45f, 0.45f, kDark));
    const char* stats[] = {"speed", "energy", "brake", "jump"};
    for (int s = 0; s < 4; ++s)
        addPips(train, stats[s], -2.0f + 1.6f * (float)s, -0.62f, kBlue);
    page.item(train, 0, 0, 0, true);

    Piece skin = rowBase("shop_table_skin", Rgb{85, 85, 40});
    addFigureParts(skin);
    page.item(skin, 0, 0, 0, true);

    Piece bank = rowBase("shop_table_bank", Rgb{40, 95, 55});
    addIcons(bank, {{"icon_coins", kGold},
                    {"icon_coins_small", kGold},
                    {"icon_coins_big", kYellow},
                    {"icon_ticket", kRed},
                    {"icon_tickets", Rgb{240, 90, 80}},
                    {"icon_noads", kGrey},
                    {"icon_doubler", kOrange}});
    bank.file.top.children.push_back(bank.button("button_buy", "onShopBank", 2.9f, -0.45f, 1.8f, 0.6f, kGreen, "BUY"));
    page.item(bank, 0, 0, 0, true);

    const char* headers[][2] = {{"boosts", "BOOSTS"}, {"characters", "CHARACTERS"}, {"trains", "TRAINS"},
                                {"skins", "SKINS"}, {"bank", "BANK"}};
    for (const auto& h : headers) {
        Piece p = header(std::string("shop_header_") + h[0], h[1]);
        page.item(p, 0, 0, 0, true);
    }
    return page.files();
}

std::vector<ContentFile> mapPage() {
    Page page("map");
    Piece bg = background("map_background", Rgb{15, 20, 60}, "WORLD MAP", Rgb{10, 10, 40});
    page.item(bg, 0, 0, 1.0f);
    // Stars and globe are turned and moved by the map itself.
    Piece stars("map_stars");
    ObjectNodeDesc field;
    field.name = "stars";
    for (int i = 0; i < 40; ++i) {
        const float x = -4.2f + std::fmod(2.17f * (float)i, 8.4f), z = -5.0f + std::fmod(3.31f * (float)i, 10.5f);
        stars.rect(field, x, z, 0.08f, 0.08f, kWhite);
    }
    stars.file.top.children.push_back(field);
    page.item(stars, 0, 0, 0.8f, true);

    Piece globe("map_globe");
    ObjectNodeDesc ball;
    ball.name = "globe";
    globe.disc(ball, 0, 0, 3.0f, 40, Rgb{40, 90, 190});
    const struct {
        const char* name;
        float x, z, r;
        Rgb colour;
    } continents[] = {{"meadow", -1.0f, 0.8f, 1.1f, Rgb{80, 180, 70}}, {"hills", 1.2f, -0.9f, 1.0f, Rgb{170, 130, 70}},
                       {"islands", -0.6f, -2.1f, 0.5f, Rgb{200, 190, 120}}};
    for (const auto& c : continents) {
        ObjectNodeDesc land;
        land.name = std::string("continent_") + c.name;
        land.position = Vec3(c.x, -0.05f, c.z);
        globe.disc(land, 0, 0, c.r, 16, c.colour);
        ObjectNodeDesc selected;
        selected.name = std::string("continent_") + c.name + "_selected";
        selected.position = Vec3(0, 0.02f, 0);
        globe.disc(selected, 0, 0, c.r + 0.15f, 16, kYellow);
        land.children.push_back(selected);
        land.children.push_back(globe.part(std::string("continent_") + c.name + "_train", 0, 0, 0.4f, 0.4f, kRed,
                                           kMenuMaterial, -0.05f));
        ball.children.push_back(land);
    }
    globe.file.top.children.push_back(ball);
    ObjectNodeDesc clouds;
    clouds.name = "clouds";
    clouds.position = Vec3(0, -0.2f, 0);
    globe.rect(clouds, -1.5f, 1.9f, 1.6f, 0.3f, Rgb{230, 230, 240});
    globe.rect(clouds, 1.0f, 0.6f, 1.2f, 0.25f, Rgb{230, 230, 240});
    globe.rect(clouds, -0.3f, -2.0f, 1.8f, 0.3f, Rgb{230, 230, 240});
    globe.file.top.children.push_back(clouds);
    page.item(globe, 0, 1.0f, 0.3f, true);

    Piece description("map_description");
    description.file.top.children.push_back(Piece::text("name", "", 0, 0.35f, 0.6f));
    description.file.top.children.push_back(Piece::text("about", "", 0, -0.45f, 0.36f));
    page.item(description, 0, -3.0f);
    Piece left = buttonItem("map_left", "onMapSelectLeft", 1.0f, 1.0f, kGrey, "<");
    page.item(left, -3.7f, 1.0f, -0.5f);
    Piece right = buttonItem("map_right", "onMapSelectRight", 1.0f, 1.0f, kGrey, ">");
    page.item(right, 3.7f, 1.0f, -0.5f);
    Piece travel = buttonItem("map_travel", "onMapSelect", 4.0f, 1.2f, kOrange, "TRAVEL (1 TICKET)");
    page.item(travel, 0, -4.9f);
    Piece start = buttonItem("map_start", "onMapStart", 4.0f, 1.2f, kYellow, "START");
    page.item(start, 0, -4.9f);
    Piece ticket("map_ticket");
    ticket.file.top.children.push_back(ticket.part("icon", -0.9f, 0, 0.5f, 0.35f, kRed));
    ticket.file.top.children.push_back(Piece::text("amount", "0", -0.5f, 0, 0.5f, "LEFT"));
    ticket.file.top.children.push_back(ticket.button("more", "onMapTicket", 1.2f, 0, 0.6f, 0.6f, kGreen, "+"));
    page.item(ticket, 2.6f, 5.2f);
    Piece back = buttonItem("map_back", "onMapBack", 3.0f, 0.9f, kRed, "BACK");
    page.item(back, 0, -6.8f);
    return page.files();
}

std::vector<ContentFile> missionPage() {
    Page page("mission");
    // No full background: the mission map shows through between the two bars.
    Piece bars("mission_bars");
    bars.rect(bars.file.top, 0, 6.8f, 20, 2.4f, Rgb{150, 40, 120}, kMenuMaterial, 0.5f);
    bars.rect(bars.file.top, 0, -6.9f, 20, 2.2f, Rgb{150, 40, 120}, kMenuMaterial, 0.5f);
    bars.file.top.children.push_back(Piece::text("title", "MISSIONS", 0, 7.2f, 0.9f));
    page.item(bars, 0, 0, 0.5f);
    Piece progress("mission_progress");
    progress.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.5f));
    page.item(progress, 0, 6.0f);
    Piece item("mission_item");
    item.file.top.children.push_back(Piece::text("hint", "tap a gift or the train", 0, 0, 0.4f));
    page.item(item, 0, -6.2f);
    Piece back = buttonItem("mission_back", "onMissionBack", 3.0f, 0.9f, kRed, "BACK");
    page.item(back, 0, -7.4f, -0.3f);
    return page.files();
}

std::vector<ContentFile> hudPage() {
    Page page("hud");
    // Counters stick to the upper left corner, the pause button to the upper right one.
    page.empty("hud_left_top", -4.5f, 8.0f, {{"align", "left,top"}});
    page.empty("hud_right_top", 4.5f, 8.0f, {{"align", "right,top"}});
    page.empty("hud_bottom", 0, -8.0f, {{"align", "bottom"}});

    Piece coins("hud_coins");
    coins.file.top.children.push_back(coins.part("icon", 0, 0, 0.5f, 0.5f, kGold));
    coins.file.top.children.push_back(Piece::text("amount", "0", 0.45f, 0, 0.55f, "LEFT"));
    page.item(coins, -4.0f, 7.4f, 0, false, {"hud_left_top"});
    Piece distance("hud_distance");
    distance.file.top.children.push_back(Piece::text("amount", "0", 0.0f, 0, 0.55f, "LEFT"));
    distance.file.top.children.push_back(Piece::text("unit", "m", 2.0f, 0, 0.4f, "LEFT"));
    page.item(distance, -4.2f, 6.6f, 0, false, {"hud_left_top"});
    Piece pause = buttonItem("hud_pause", "onHudPause", 0.9f, 0.9f, kGrey, "II");
    page.item(pause, 3.9f, 7.4f, 0, false, {"hud_right_top"});

    Piece energy("hud_energy");
    energy.file.top.children.push_back(progressBar(energy, 0, 0, 3.0f, 0.3f));
    energy.file.top.children.push_back(Piece::text("label", "ENERGY", -1.6f, 0, 0.3f, "RIGHT"));
    page.item(energy, 0.9f, 7.5f);
    Piece battery("hud_battery");
    battery.file.top.children.push_back(progressBar(battery, 0, 0, 3.0f, 0.3f));
    battery.file.top.children.push_back(Piece::text("label", "BATTERY", -1.6f, 0, 0.3f, "RIGHT"));
    page.item(battery, 0.9f, 7.0f);

    Piece brake("hud_brake");
    brake.file.top.children.push_back(brake.part("icon", 0, 0.5f, 0.6f, 0.6f, kRed));
    brake.file.top.children.push_back(progressBar(brake, 0, -0.1f, 1.2f, 0.2f));
    page.item(brake, -3.8f, -7.0f, 0, false, {"hud_bottom"});

    Piece boost("hud_boost");
    const std::pair<const char*, Rgb> icons[] = {
        {"hit", kRed}, {"magnet", kBlue}, {"turbo", kOrange}, {"fps", kGreen}, {"coin2x", kGold}};
    for (const auto& icon : icons)
        boost.file.top.children.push_back(boost.part(icon.first, 0, 0.5f, 0.7f, 0.7f, icon.second));
    boost.file.top.children.push_back(progressBar(boost, 0, -0.2f, 1.2f, 0.2f));
    page.item(boost, 3.8f, -7.0f, 0, false, {"hud_bottom"});

    Piece message("hud_message");
    message.rect(message.file.top, 0, 0, 8.6f, 1.0f, Rgb{20, 20, 30}, kMenuMaterial, 0.1f);
    message.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.5f));
    page.item(message, 0, 3.5f);

    Piece movie1("hud_movie01");
    movie1.rect(movie1.file.top, 0, 0, 20, 1.4f, kBlack);
    page.item(movie1, 0, 7.3f, 0.3f);
    Piece movie2("hud_movie02");
    movie2.rect(movie2.file.top, 0, 0, 20, 1.4f, kBlack);
    page.item(movie2, 0, -7.3f, 0.3f);
    Piece fps("hud_fps");
    fps.file.top.children.push_back(Piece::text("text", "FLY-BY", 0, 0, 0.5f));
    page.item(fps, 0, 5.8f);
    Piece stargate("hud_stargate");
    stargate.rect(stargate.file.top, 0, 0, 0.8f, 0.8f, Rgb{120, 220, 255});
    stargate.file.top.children.push_back(Piece::text("label", "GATE", 0, -0.7f, 0.3f));
    page.item(stargate, 3.9f, 6.2f);

    // The word being collected: one letter place a named node and a text line.
    Piece word("hud_word");
    for (int i = 0; i < 8; ++i)
        word.file.top.children.push_back(Piece::text("letter" + twoDigits(i), "", -2.45f + 0.7f * (float)i, 0, 0.6f));
    page.item(word, 0, 4.7f);

    Piece everyplay = buttonItem("hud_everyplay", "onHudRecord", 1.1f, 0.7f, kRed, "REC");
    page.item(everyplay, 3.8f, 5.2f);

    // Debug lines, shown when the debug HUD is on.
    Piece log("hud_debug_log");
    for (int i = 0; i < 4; ++i)
        log.file.top.children.push_back(Piece::text("line" + twoDigits(i), "", 0, -0.35f * (float)i, 0.3f, "LEFT"));
    page.item(log, -4.3f, 4.0f);
    Piece levelSet("hud_debug_levelset");
    levelSet.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.3f, "LEFT"));
    page.item(levelSet, -4.3f, 2.4f);
    Piece level("hud_debug_level");
    level.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.3f, "LEFT"));
    page.item(level, -4.3f, 2.0f);
    const struct {
        const char* name;
        const char* event;
        float z;
    } debugButtons[] = {{"hud_debug_r", "onHudDebug", 0.6f}, {"hud_debug_l", "onHudPlayerSelect", -0.3f}};
    for (const auto& b : debugButtons) {
        Piece p(b.name);
        p.file.top.children.push_back(p.button("button", b.event, 0, 0, 0.7f, 0.7f, kDark, ""));
        p.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.4f));
        page.item(p, 4.0f, b.z);
    }
    Piece d("hud_debug_d");
    d.rect(d.file.top, 0, 0, 0.7f, 0.7f, kDark);
    d.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.4f));
    page.item(d, 4.0f, -1.2f);
    return page.files();
}

std::vector<ContentFile> pausePage() {
    Page page("pause");
    Piece box("pause_box");
    box.rect(box.file.top, 0, 0, 20, 18, Rgb{40, 10, 10}, kMenuMaterial, 0.6f);
    box.rect(box.file.top, 0, 0.5f, 7.0f, 8.0f, Rgb{150, 40, 40}, kMenuMaterial, 0.5f);
    box.file.top.children.push_back(Piece::text("title", "PAUSED", 0, 3.5f, 1.0f));
    page.item(box, 0, 0, 0.5f);
    Piece resume = buttonItem("pause_resume", "onPauseResume", 5.0f, 1.3f, kYellow, "RESUME");
    page.item(resume, 0, 1.6f);
    Piece restart = buttonItem("pause_restart", "onPauseRestart", 5.0f, 1.1f, kOrange, "RESTART");
    page.item(restart, 0, -0.3f);
    Piece exit = buttonItem("pause_exit", "onPauseExit", 5.0f, 1.1f, kGrey, "MAIN MENU");
    page.item(exit, 0, -2.0f);
    Piece back = buttonItem("pause_back", "onPauseBack", 0.8f, 0.8f, kRed, "X");
    page.item(back, 3.0f, 4.0f);
    return page.files();
}

std::vector<ContentFile> revivePage() {
    Page page("revive");
    Piece box("revive_box");
    box.rect(box.file.top, 0, 0, 20, 18, Rgb{60, 0, 20}, kMenuMaterial, 0.6f);
    box.rect(box.file.top, 0, 0, 7.6f, 9.6f, Rgb{180, 30, 60}, kMenuMaterial, 0.5f);
    box.file.top.children.push_back(Piece::text("title", "KEEP GOING?", 0, 3.8f, 0.9f));
    page.item(box, 0, 0, 0.5f);
    // The countdown: seconds left and a bar running from green to red.
    Piece table("revive_table");
    table.file.top.children.push_back(Piece::text("seconds", "5", 0, 0.6f, 1.4f));
    table.file.top.children.push_back(progressBar(table, 0, -0.5f, 5.0f, 0.4f));
    page.item(table, 0, 1.6f);
    Piece coins("revive_coins_available");
    coins.file.top.children.push_back(coins.part("icon", -1.6f, 0, 0.45f, 0.45f, kGold));
    coins.file.top.children.push_back(Piece::text("amount", "0", -1.2f, 0, 0.45f, "LEFT"));
    page.item(coins, 0, 0.1f);
    Piece byCoins("revive_by_coins");
    byCoins.file.top.children.push_back(byCoins.button("button", "onReviveCoins", 0, 0, 6.0f, 1.1f, kYellow, ""));
    byCoins.file.top.children.push_back(Piece::text("label", "", 0, 0, 0.5f));
    page.item(byCoins, 0, -1.2f);
    Piece video = buttonItem("revive_video", "onReviveVideo", 6.0f, 1.1f, kGreen, "WATCH A VIDEO");
    page.item(video, 0, -2.5f);
    Piece no = buttonItem("revive_no", "onReviveNo", 4.0f, 0.9f, kGrey, "NO THANKS");
    page.item(no, 0, -3.8f);
    return page.files();
}

std::vector<ContentFile> surprisePage() {
    Page page("surprise");
    Piece bg = background("surprise_background", Rgb{70, 30, 110}, "SURPRISE!", Rgb{45, 15, 80});
    page.item(bg, 0, 0, 1.0f);
    Piece stars("surprise_stars");
    ObjectNodeDesc field;
    field.name = "stars";
    for (int i = 0; i < 24; ++i) {
        const float a = 2 * kPi * (float)i / 24.0f, r = 2.0f + (float)(i % 3);
        stars.rect(field, r * std::cos(a), r * std::sin(a), 0.15f, 0.15f, kYellow);
    }
    stars.file.top.children.push_back(field);
    page.item(stars, 0, 0.5f, 0.8f, true);
    Piece ray("surprise_ray");
    ObjectNodeDesc beams;
    beams.name = "ray";
    for (int i = 0; i < 4; ++i) {
        const float a = kPi * (float)i / 4.0f;
        // Each beam a thin quad, turned in the screen plane (about the depth axis).
        ObjectNodeDesc beam;
        beam.name = "beam" + twoDigits(i);
        beam.rotation = Vec3(0, a, 0);
        ray.rect(beam, 0, 0, 12, 0.5f, Rgb{120, 70, 160});
        beams.children.push_back(beam);
    }
    ray.file.top.children.push_back(beams);
    page.item(ray, 0, 0.5f, 0.9f, true);

    // The box: slides in and out like every item, waits with a wobble (frames 14-25) and opens
    // by lifting its lid (frames 26-37).
    Piece box("surprise_box");
    box.rect(box.file.top, 0, -0.6f, 2.6f, 2.0f, kRed);
    box.file.top.children.push_back(box.part("ribbon", 0, -0.6f, 0.4f, 2.0f, kGold, kMenuMaterial, -0.03f));
    ObjectNodeDesc lid = box.part("lid", 0, 0.65f, 3.0f, 0.6f, Rgb{230, 60, 50});
    box.file.top.children.push_back(lid);
    const std::pair<const char*, Rgb> gifts[] = {{"gift_coins", kGold}, {"gift_tickets", kWhite},
                                                 {"gift_bigcoins", kOrange}};
    for (const auto& g : gifts)
        box.file.top.children.push_back(box.part(g.first, 0, 1.6f, 1.0f, 1.0f, g.second, kMenuMaterial, -0.1f));
    std::vector<SceneKeyDesc> keys = slideKeys(Vec3(0, 0, 0.5f));
    for (int f = 14; f <= 25; ++f) {
        SceneKeyDesc k;
        k.position = Vec3(0, 0, 0.5f);
        k.rotation = Vec3(0, 0.12f * std::sin(2 * kPi * (float)(f - 14) / 11.0f), 0);
        keys.push_back(k);
    }
    for (int f = 26; f <= 37; ++f) {
        SceneKeyDesc k;
        k.position = Vec3(0, 0, 0.5f - 0.8f * ease((float)(f - 26) / 11.0f));
        keys.push_back(k);
    }
    page.keyedItem(box, 0, 0.5f, keys);

    Piece button = buttonItem("surprise_button", "onSurpriseboxOpen", 4.0f, 1.0f, kYellow, "TAP TO OPEN");
    page.item(button, 0, -3.0f, -0.5f);
    Piece message("surprise_message");
    message.rect(message.file.top, 0, 0, 7.0f, 1.0f, kDark, kMenuMaterial, 0.1f);
    message.file.top.children.push_back(Piece::text("text", "", 0, 0, 0.55f));
    page.item(message, 0, -4.5f);
    return page.files();
}

std::vector<ContentFile> resultsPage() {
    Page page("results");
    Piece bg = background("results_background", Rgb{20, 90, 100}, "RESULTS", Rgb{10, 60, 70});
    page.item(bg, 0, 0, 0.8f);
    // The table: distance, coins, then three ranking rows of rank, name and distance.
    Piece table("results_table");
    table.rect(table.file.top, 0, 0, 8.4f, 6.0f, Rgb{30, 55, 65}, kMenuMaterial, 0.3f);
    table.file.top.children.push_back(table.part("view", -2.8f, 1.3f, 2.2f, 2.6f, Rgb{60, 85, 95},
                                                 kMenuMaterial, 0.2f));
    table.file.top.children.push_back(Piece::text("distance", "0m", 1.0f, 2.0f, 0.9f));
    table.file.top.children.push_back(Piece::text("coins", "0", 1.0f, 0.8f, 0.6f));
    for (int row = 0; row < 3; ++row) {
        const float z = -0.7f - 0.75f * (float)row;
        table.file.top.children.push_back(Piece::text("rank" + twoDigits(row), "", -3.6f, z, 0.45f, "LEFT"));
        table.file.top.children.push_back(Piece::text("name" + twoDigits(row), "", -2.6f, z, 0.45f, "LEFT"));
        table.file.top.children.push_back(Piece::text("best" + twoDigits(row), "", 3.8f, z, 0.45f, "RIGHT"));
    }
    page.item(table, 0, 2.2f);
    Piece coins("results_coins");
    coins.file.top.children.push_back(coins.part("icon", -1.2f, 0, 0.5f, 0.5f, kGold));
    coins.file.top.children.push_back(Piece::text("amount", "0", -0.8f, 0, 0.5f, "LEFT"));
    coins.file.top.children.push_back(coins.button("more", "onResultsCoin2", 1.3f, 0, 0.6f, 0.6f, kGreen, "+"));
    page.item(coins, 2.2f, 5.3f);
    Piece mission = buttonItem("results_mission", "onResultsMissions", 3.0f, 1.0f, kBlue, "", true);
    mission.file.top.children.push_back(Piece::text("percent", "", 0, 0, 0.45f));
    page.item(mission, -1.7f, -1.6f);
    Piece shop = buttonItem("results_shop", "onResultsShop", 3.0f, 1.0f, kOrange, "SHOP", true);
    page.item(shop, 1.7f, -1.6f);
    Piece map = buttonItem("results_map", "onResultsMap", 3.0f, 1.0f, kBlue, "MAP");
    page.item(map, -1.7f, -3.0f);
    Piece restart = buttonItem("results_restart", "onResultsRestart", 3.0f, 1.0f, kYellow, "RUN AGAIN");
    page.item(restart, 1.7f, -3.0f);
    Piece share("results_share");
    share.file.top.children.push_back(share.button("twitter", "onResultsTwitter", -1.7f, 0, 3.0f, 0.8f, kBlue,
                                                   "TWITTER"));
    share.file.top.children.push_back(share.button("facebook", "onResultsFacebook", 1.7f, 0, 3.0f, 0.8f, kBlue,
                                                   "FACEBOOK"));
    page.item(share, 0, -4.3f);
    Piece everyplay = buttonItem("results_everyplay", "onResultsPlayback", 3.0f, 0.8f, kRed, "REPLAY");
    page.item(everyplay, -1.7f, -5.5f);
    Piece exit = buttonItem("results_exit", "onResultsExit", 3.0f, 0.9f, kGrey, "MAIN MENU");
    page.item(exit, 1.7f, -5.5f);
    return page.files();
}

std::vector<ContentFile> messagePage() {
    Page page("message");
    Piece box("message_box");
    box.rect(box.file.top, 0, 0, 20, 18, Rgb{25, 30, 40}, kMenuMaterial, 0.6f);
    box.rect(box.file.top, 0, 0, 8.0f, 6.0f, Rgb{55, 65, 90}, kMenuMaterial, 0.5f);
    box.rect(box.file.top, 0, 2.4f, 8.0f, 1.2f, kBlue, kMenuMaterial, 0.45f);
    page.item(box, 0, 0, 0.5f);
    // Line 0 the caption, line 2 the message (line 1 stays empty).
    Piece text("message_text");
    text.file.top.children.push_back(Piece::text("caption", "", 0, 2.4f, 0.6f));
    text.file.top.children.push_back(Piece::text("spacer", "", 0, 1.2f, 0.4f));
    text.file.top.children.push_back(Piece::text("text", "", 0, 0.6f, 0.4f));
    page.item(text, 0, 0);
    Piece ok = buttonItem("message_ok", "onMessageOk", 3.0f, 1.0f, kGreen, "OK");
    page.item(ok, 0, -1.9f);
    Piece yes = buttonItem("message_yes", "onMessageYes", 3.0f, 1.0f, kGreen, "YES");
    page.item(yes, -1.8f, -1.9f);
    Piece no = buttonItem("message_no", "onMessageNo", 3.0f, 1.0f, kRed, "NO");
    page.item(no, 1.8f, -1.9f);
    return page.files();
}

// ---------------------------------------------------------------------------------------------
// Mission maps: small scenes of the game's world the missions screen shows, one per region. A
// path of tiles, the player's figure moving along it by key frames, three waypoints (a marker
// and a gift each) and a reward train locked and unlocked. Lit like the levels (lights "Sun" and
// "Fill", which atmospheres recolour).

ObjectFileDesc missionShape(const std::string& name, const Vec3& size, bool flat, Rgb colour) {
    Piece p(name);
    if (flat) {
        // Lying on the ground, facing up: the quad turned a quarter about X.
        ObjectNodeDesc surface;
        surface.name = name + "_surface";
        surface.rotation = Vec3(-kPi * 0.5f, 0, 0);
        p.rect(surface, 0, 0, size.x, size.y, colour, kMenuMaterial, 0);
        p.file.top.children.push_back(surface);
    } else {
        // A box: six faces, each a flat quad turned into place.
        const float hx = size.x * 0.5f, hy = size.y * 0.5f, hz = size.z * 0.5f;
        const struct {
            Vec3 at, rotation;
            float w, h;
        } faces[] = {{Vec3(0, -hy, hz), Vec3(0, 0, 0), size.x, size.z},
                     {Vec3(0, hy, hz), Vec3(0, 0, kPi), size.x, size.z},
                     {Vec3(-hx, 0, hz), Vec3(0, 0, -kPi * 0.5f), size.y, size.z},
                     {Vec3(hx, 0, hz), Vec3(0, 0, kPi * 0.5f), size.y, size.z},
                     {Vec3(0, 0, size.z), Vec3(-kPi * 0.5f, 0, 0), size.x, size.y}};
        int k = 0;
        for (const auto& f : faces) {
            ObjectNodeDesc face;
            face.name = name + "_face" + twoDigits(k++);
            face.position = f.at;
            face.rotation = f.rotation;
            p.rect(face, 0, 0, f.w, f.h, colour, kMenuMaterial, 0);
            p.file.top.children.push_back(face);
        }
    }
    p.file.top.properties = {{"nophysics", "1"}};
    p.bytes();
    return p.file;
}

std::vector<ContentFile> missionObjects() {
    std::vector<ContentFile> files;
    const struct {
        const char* name;
        Vec3 size;
        bool flat;
        Rgb colour;
    } shapes[] = {{"tile", Vec3(2.0f, 2.0f, 0), true, Rgb{200, 180, 120}},
                  {"figure", Vec3(0.8f, 0.8f, 1.4f), false, kOrange},
                  {"marker", Vec3(0.4f, 0.4f, 1.2f), false, kWhite},
                  {"gift", Vec3(1.0f, 1.0f, 1.0f), false, kRed},
                  {"train_locked", Vec3(1.4f, 3.0f, 1.4f), false, kGrey},
                  {"train_unlocked", Vec3(1.4f, 3.0f, 1.4f), false, kBlue}};
    for (const auto& s : shapes)
        files.push_back({std::string("objects/mission/") + s.name + ".object",
                         writeObjectFile(missionShape(s.name, s.size, s.flat, s.colour))});
    return files;
}

// The key frames of the mission path: frame f at y = 1.5 f (frames 0 to 40).
const int kMissionFrames = 41;

std::vector<ContentFile> missionScene(const std::string& region, float bend) {
    BinarySceneWriter s("BIN1.1");
    const Layers layer0 = Layers::bits(1);
    const Vec3 none(0, 0, 0), one(1, 1, 1);
    std::vector<SceneKeyDesc> cameraKeys, figureKeys;
    for (int f = 0; f < kMissionFrames; ++f) {
        const float y = 1.5f * (float)f, x = bend * std::sin((float)f * 0.15f);
        cameraKeys.push_back({60, Vec3(x, y - 9, 7), Vec3(1.1f, 0, 0)});
        figureKeys.push_back({0, Vec3(x, y, 0.05f), Vec3(0, 0, 0)});
    }
    s.camera("MissionCamera", cameraKeys[0].position, cameraKeys[0].rotation, layer0, 1, 60, cameraKeys);
    s.light("Sun", Vec3(3, 6, -10), Vec3(1.0f, 0.95f, 0.9f), 1.4f, 0.5f, layer0);
    s.light("Fill", Vec3(-6, 2, -4), Vec3(0.4f, 0.45f, 0.6f), 0.7f, 0.5f, layer0);
    s.object("Ground", "objects/demo", "ground", Vec3(0, 30, -0.01f), none, Vec3(1, 2.2f, 1), {}, {}, layer0);
    for (int f = 0; f < kMissionFrames; f += 2)
        s.object("Tile" + twoDigits(f), "objects/mission", "tile", figureKeys[(size_t)f].position, none, one, {}, {},
                 layer0);
    s.object("Figure", "objects/mission", "figure", figureKeys[0].position, none, one, {}, {}, layer0, figureKeys);
    for (int w = 0; w < 3; ++w) {
        const Vec3 at = figureKeys[(size_t)(20 * w)].position;
        s.object("Marker" + std::to_string(w), "objects/mission", "marker", Vec3(at.x + 1.6f, at.y, 0), none, one, {},
                 {}, layer0);
        s.object("Gift" + std::to_string(w), "objects/mission", "gift", Vec3(at.x - 1.6f, at.y, 0), none, one, {}, {},
                 layer0);
    }
    const Vec3 end = figureKeys.back().position;
    s.object("TrainLocked", "objects/mission", "train_locked", Vec3(end.x, end.y + 4, 0), none, one, {}, {}, layer0);
    s.object("TrainUnlocked", "objects/mission", "train_unlocked", Vec3(end.x, end.y + 4, 0), none, one, {}, {},
             layer0);
    return {{"scenes/mission/" + region + ".bin", s.bytes()}};
}

}  // namespace

std::string pagePath(const std::string& panel) { return "scenes/menu/" + panel + ".bin"; }

std::vector<ContentFile> pageContent() {
    std::vector<ContentFile> files;
    for (auto make : {loadingPage, mainPage, tutorialPage, optionsPage, creditsPage, shopPage, mapPage, missionPage,
                      hudPage, pausePage, revivePage, surprisePage, resultsPage, messagePage})
        for (ContentFile& f : make())
            files.push_back(std::move(f));
    for (ContentFile& f : missionObjects())
        files.push_back(std::move(f));
    for (ContentFile& f : missionScene("meadow", 2.0f))
        files.push_back(std::move(f));
    for (ContentFile& f : missionScene("hills", -3.0f))
        files.push_back(std::move(f));
    return files;
}

}  // namespace contentwriter
