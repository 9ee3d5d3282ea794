#include "writer/LevelContent.h"

#include <string>

namespace contentwriter {

std::vector<ContentFile> levelContent() {
    std::vector<ContentFile> files;
    BinarySceneWriter s("BIN1.1");
    const Layers layer0 = Layers::bits(1);
    const Vec3 none(0, 0, 0), one(1, 1, 1), back(0, 0, 3.14159274f);

    s.camera("Camera", Vec3(0, -8, 5), Vec3(1.1071487f, 0, 0), layer0, 1, 60,
             {{1, Vec3(0, -8, 5), Vec3(1.1071487f, 0, 0)}, {40, Vec3(0, -6, 4), Vec3(1.1f, 0, 0)}});
    // Every level has the same lights, so atmospheres colour them alike.
    s.light("Sun", Vec3(3, 6, -10), Vec3(1.0f, 0.95f, 0.9f), 1.4f, 0.5f, layer0);
    s.object("Ground", "objects/demo", "ground", Vec3(0, 15, 0), none, Vec3(1, 1.5f, 1), {}, {"floor"}, layer0);

    // Three lanes of two 20-unit pieces; the centre lane's pieces list their points back to front.
    const struct {
        const char* group;
        const char* piece;
        float x;
    } lanes[] = {{"rail_l", "rail20", -2}, {"rail_c", "rail20_rev", 0}, {"rail_r", "rail20", 2}};
    for (const auto& lane : lanes)
        for (int k = 0; k < 2; ++k)
            s.object(std::string(lane.group) + std::to_string(k), "objects/track", lane.piece,
                     Vec3(lane.x, 20.0f * (float)k, 0), none, one, {}, {lane.group}, layer0);

    s.empty("chain_begin", Vec3(0, 0, 0), none, one, {}, {}, layer0);
    s.empty("chain_end", Vec3(0, 40, 0), none, one, {}, {}, layer0);
    s.empty("train_stopplace", Vec3(0, 2, 0), none, one, {}, {}, layer0);

    // A coin row on the centre lane from 10 up to its partner at 22 (chances 50 and 80: the row
    // shows on 40 % of the visits), and a lone ticket beside the left lane.
    s.object("CoinRowStart", "objects/items", "coin", Vec3(0, 10, 0.5f), none, one, {{"chance", "50"}}, {}, layer0);
    s.object("CoinRowEnd", "objects/items", "coin", Vec3(0, 22, 0.5f), none, one, {{"chance", "80"}}, {}, layer0);
    s.object("Ticket", "objects/items", "ticket", Vec3(-1.8f, 15, 0.3f), none, one, {}, {}, layer0);
    // An obstacle of the scene itself on the left lane.
    s.object("Obstacle", "objects/obstacles", "obstacle_deathly", Vec3(-2, 30, 0), none, one, {}, {}, layer0);

    // Decorations: pillars of which one goes on each visit, crates of which one stays, a crate
    // seen on half of the visits, an ambient spinner and one that plays when the level is current.
    for (int k = 0; k < 3; ++k)
        s.object("RemPillar" + std::to_string(k), "objects/demo", "pillar", Vec3(-6, 8.0f + 10 * (float)k, 0), none,
                 one, {}, {"rem_pillars"}, layer0);
    for (int k = 0; k < 3; ++k)
        s.object("OrCrate" + std::to_string(k), "objects/demo", "crate", Vec3(6, 6.0f + 8 * (float)k, 0.5f), none,
                 one, {}, {"or_crates"}, layer0);
    s.object("ChanceCrate", "objects/demo", "crate", Vec3(7, 34, 0.5f), none, one, {{"visible_percent", "50"}}, {},
             layer0);
    s.object("Spinner", "objects/demo", "spinner", Vec3(-5, 36, 1), none, one, {}, {}, layer0);
    s.object("NearSpinner", "objects/demo", "spinner", Vec3(5, 38, 1), none, one, {{"near_anim", "1"}}, {}, layer0);

    // Placeholders: trees of which one goes, houses of which one may stay, signs that show
    // together or not at all, one sign always, an obstacle on the centre lane.
    for (int k = 0; k < 3; ++k)
        s.empty("tree" + std::to_string(k), Vec3(-9, 5.0f + 12 * (float)k, 0), none, one, {}, {"rem_trees"}, layer0);
    for (int k = 0; k < 3; ++k)
        s.empty("house" + std::to_string(k), Vec3(10, 8.0f + 12 * (float)k, 0), none, one,
                {{"visible_percent", "80"}}, {"or_houses"}, layer0);
    for (int k = 0; k < 2; ++k)
        s.empty("sign" + std::to_string(k), Vec3(-4, 18.0f + 4 * (float)k, 0), none, one, {{"visible_percent", "70"}},
                {"link_signs"}, layer0);
    s.empty("sign_always", Vec3(4, 2, 0), none, one, {{"visible_always", "1"}}, {}, layer0);
    s.empty("obstacle0", Vec3(0, 32, 0), none, one, {}, {}, layer0);
    // An enemy train on the right lane facing the player, its two waggons behind it.
    s.empty("enemytrain0", Vec3(2, 28, 0), back, one, {}, {"snake_enemy"}, layer0);
    s.empty("waggon0", Vec3(2, 32, 0), back, one, {}, {"snake_enemy"}, layer0);
    s.empty("waggon1", Vec3(2, 36, 0), back, one, {}, {"snake_enemy"}, layer0);
    // Sparks at the far end of the level.
    s.empty("sparks", Vec3(0, 39, 1), none, one, {{"particle", "sparks"}}, {}, layer0);

    files.push_back({"scenes/l02.bin", s.bytes()});
    return files;
}

}  // namespace contentwriter
