// The slate worked with real keys through the X keyboard, as its user works
// it: keys reach the notes from the start, Tab goes round the three controls,
// "Borrar" sends the notes to the Recycle Bin and Ctrl+Z brings them back, and
// the close command keeps what was typed for the next start.
#include <gtest/gtest.h>

#include "tests/app/slate_driver.h"

namespace {

const std::string NOTES = "uno\r\ndos\r\n";

// One slate beside NOTES; the site owns it.
std::unique_ptr<slate_site> open_beside_notes(std::string* why)
{
    site_list sites = make_sites(1);
    if (!open_sites_with(sites, {NOTES}, why))
        return nullptr;
    return std::move(sites[0]);
}
#define OPEN_BESIDE_NOTES(site)                                \
    std::string why_;                                          \
    std::unique_ptr<slate_site> site = open_beside_notes(&why_); \
    ASSERT_TRUE(site) << why_

// Presses keys and waits until the focus is on control `id`.
void press_to_focus(const slate_process& slate, const std::string& keys, int id)
{
    ASSERT_TRUE(press_x_keys(slate, {"key", "--clearmodifiers", keys})) << keys;
    ASSERT_TRUE(wait_for_focus(slate, id)) << keys << ": focus not on " << id;
}

// Real keys: from the box, Shift+Tab to "Salir", and Space.
void leave_by_keys(const slate_process& slate)
{
    press_to_focus(slate, "shift+Tab", LEAVE_ID);
    ASSERT_TRUE(press_x_keys(slate, {"key", "space"}));
}

TEST(SlateKeys, test_keys_typed_at_once_land_after_the_notes_and_tab_goes_round)
{
    OPEN_BESIDE_NOTES(site);
    const slate_process& slate = site->run.slate;
    // No click first: the space once pressed "Borrar" and erased the notes.
    ASSERT_TRUE(press_x_keys(slate, {"type", "hola mundo"}));
    ASSERT_TRUE(wait_for_box(slate, NOTES + "hola mundo")) << box_text(slate);
    EXPECT_EQ(notes_bytes(site->notes()), NOTES) << "nothing is saved before \"Salir\"";

    const struct {
        const char* keys;
        int focus;
    } round[] = {
        {"Tab", CLEAR_ID},       {"Tab", LEAVE_ID},       {"Tab", BOX_ID},
        {"shift+Tab", LEAVE_ID}, {"shift+Tab", CLEAR_ID}, {"shift+Tab", BOX_ID},
    };
    for (const auto& step : round)
        press_to_focus(slate, step.keys, step.focus);
    // Back in the box by Tab, nothing is selected: a key replaces nothing.
    ASSERT_TRUE(press_x_keys(slate, {"type", "!"}));
    ASSERT_TRUE(wait_for_box(slate, NOTES + "hola mundo!")) << box_text(slate);

    leave_by_keys(slate);
    expect_ended_with(site.get(), NOTES + "hola mundo!\r\n");
}

TEST(SlateKeys, test_borrar_recycles_the_notes_and_ctrl_z_brings_them_back)
{
    for (bool undo : {false, true}) {
        SCOPED_TRACE(undo ? "Borrar, Ctrl+Z, Salir" : "Borrar, Salir");
        OPEN_BESIDE_NOTES(site);
        const slate_process& slate = site->run.slate;
        ASSERT_TRUE(wait_for_focus(slate, BOX_ID));
        press_to_focus(slate, "Tab", CLEAR_ID);
        // "Borrar" puts the caret back in the box.
        press_to_focus(slate, "space", BOX_ID);
        ASSERT_TRUE(wait_for_box(slate, "")) << box_text(slate);
        EXPECT_EQ(notes_bytes(site->notes()), NO_FILE) << "the notes file after \"Borrar\"";
        EXPECT_EQ(recycled_notes(site->home.path()), NOTES) << "the Recycle Bin";
        if (undo) {
            ASSERT_TRUE(press_x_keys(slate, {"key", "--clearmodifiers", "ctrl+z"}));
            ASSERT_TRUE(wait_for_box(slate, NOTES)) << box_text(slate);
        }
        leave_by_keys(slate);
        expect_ended_with(site.get(), undo ? NOTES : NO_FILE);
    }
}

TEST(SlateKeys, test_alt_f4_keeps_the_typed_text_for_the_next_start)
{
    OPEN_BESIDE_NOTES(site);
    slate_process* slate = &site->run.slate;
    // Closed at once, before the copy's timer has written anything.
    ASSERT_TRUE(press_x_keys(*slate, {"type", "nuevo"}));
    ASSERT_TRUE(wait_for_box(*slate, NOTES + "nuevo")) << box_text(*slate);
    ASSERT_TRUE(press_x_keys(*slate, {"key", "--clearmodifiers", "alt+F4"}));
    EXPECT_EQ(wait_exit(slate), 0);
    EXPECT_EQ(notes_bytes(site->notes()), NOTES) << "the close command saves nothing";

    // The next start shows the text as after a crash, the caret after it.
    close_slate(slate);
    std::string why;
    ASSERT_TRUE(start_slate(site->exe(), site->elsewhere.path(), slate, &why)) << why;
    ASSERT_TRUE(wait_for_box(*slate, NOTES + "nuevo")) << box_text(*slate);
    ASSERT_TRUE(press_x_keys(*slate, {"type", "!"}));
    ASSERT_TRUE(wait_for_box(*slate, NOTES + "nuevo!")) << box_text(*slate);
    leave_by_keys(*slate);
    expect_ended_with(site.get(), NOTES + "nuevo!\r\n");

    // Closed as loaded, the slate leaves no copy.
    close_slate(slate);
    ASSERT_TRUE(start_slate(site->exe(), site->elsewhere.path(), slate, &why)) << why;
    ASSERT_TRUE(wait_for_focus(*slate, BOX_ID));
    ASSERT_TRUE(press_x_keys(*slate, {"key", "--clearmodifiers", "alt+F4"}));
    expect_ended_with(site.get(), NOTES + "nuevo!\r\n");
}

}  // namespace
