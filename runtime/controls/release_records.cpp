// Releasing window records: a record gives back what the controls layer made
// for it (its font's use count, brushes, icons, images, image lists) and the
// drawing objects of a graphic window, then leaves the registry.
#include <windows.h>
#include <commctrl.h>

#include "runtime/controls/controls.h"

// Image lists that particular control kinds hold: the message that reads a
// list, its wparam, and the message that sets it.
namespace {
struct image_list_slot {
    uint32_t class_index;
    UINT get_message;
    WPARAM which;
    UINT set_message;
};
const image_list_slot image_list_slots[] = {
    {ROW_TOOLBAR, TB_GETIMAGELIST, 0, TB_SETIMAGELIST},
    {ROW_TOOLBAR, TB_GETDISABLEDIMAGELIST, 0, TB_SETDISABLEDIMAGELIST},
    {ROW_TOOLBAR, TB_GETHOTIMAGELIST, 0, TB_SETHOTIMAGELIST},
    {ROW_TREEVIEW, TVM_GETIMAGELIST, TVSIL_NORMAL, TVM_SETIMAGELIST},
    {ROW_TAB, TCM_GETIMAGELIST, 0, TCM_SETIMAGELIST},
};

// Destroys each list the control still returns (a destroyed control returns
// none).  With `detach`, the control is also told to forget it, so that
// nothing draws with a destroyed list.
void destroy_image_lists(HWND window, uint32_t class_index, bool detach)
{
    for (const image_list_slot& slot : image_list_slots) {
        if (slot.class_index != class_index)
            continue;
        HIMAGELIST list =
            reinterpret_cast<HIMAGELIST>(SendMessageW(window, slot.get_message, slot.which, 0));
        if (!list)
            continue;
        if (detach)
            SendMessageW(window, slot.set_message, slot.which, 0);
        ImageList_Destroy(list);
    }
}

}  // namespace

void destroy_owned_image_lists(HWND dialog)
{
    window_record* control = next_owned(dialog, nullptr);
    while (control) {
        HWND window = control->hwnd;
        if (control->kind & KIND_CONTROL)
            destroy_image_lists(window, control->class_index, true);
        control = find_record(window);  // released meanwhile: the walk ends
        if (control)
            control = next_owned(dialog, control);
    }
}

namespace {

// The companion windows of a graphic window.
void destroy_companions(window_record* record)
{
    record_word* block = record->graphic_block;
    for (uint32_t slot = GRAPHIC_COMPANION_FIRST; slot < GRAPHIC_COMPANION_FIRST + 3; ++slot) {
        HWND companion = reinterpret_cast<HWND>(block[slot]);
        block[slot] = 0;
        if (companion)
            DestroyWindow(companion);
    }
}

// The drawing objects of a graphic control or window: the picture selected
// into its memory device context, a further object, and the context itself.
void release_graphic_objects(window_record* record)
{
    record_word* block = record->graphic_block;
    HDC dc = reinterpret_cast<HDC>(block[GRAPHIC_MEMORY_DC]);
    HGDIOBJ first_bitmap = reinterpret_cast<HGDIOBJ>(block[GRAPHIC_FIRST_BITMAP]);
    HGDIOBJ object = reinterpret_cast<HGDIOBJ>(block[GRAPHIC_OBJECT]);
    block[GRAPHIC_MEMORY_DC] = 0;
    block[GRAPHIC_FIRST_BITMAP] = 0;
    block[GRAPHIC_OBJECT] = 0;
    if (dc && first_bitmap) {
        HGDIOBJ picture = SelectObject(dc, first_bitmap);
        if (picture)
            DeleteObject(picture);
    }
    if (object)
        DeleteObject(object);
    if (dc)
        DeleteDC(dc);
}

// Releases the record of hwnd (after the records of the controls it owns).
// False when hwnd has no record.
bool release_record(HWND hwnd)
{
    // The newest control goes first.  Each pass finds a record that the
    // release then unlinks, so the walk ends.
    while (HWND control = first_owned_control(hwnd)) {
        if (control == hwnd)
            break;  // a control recorded as its own owner is released below
        if (!release_record(control))
            return false;
    }

    window_record* record = unlink_record(hwnd);
    if (!record)
        return false;

    // A control's font number goes back to the font list, and the font it had
    // before the run-time changed it is put back.  A dialog's font is the one
    // the window system made from the template and is not the list's.
    if (record->kind & KIND_CONTROL)
        release_control_font(record);

    // The record is out of the registry, so the search sees only the others:
    // a shared brush goes with its last owner.
    if (record->back_color >= 0 && record->back_brush && !find_shared_brush(record->back_color))
        DeleteObject(record->back_brush);
    record->back_brush = nullptr;
    if (record->default_brush && record->default_back_color >= 0 &&
        !find_shared_brush(record->default_back_color))
        DeleteObject(record->default_brush);
    record->default_brush = nullptr;

    destroy_companions(record);
    if (record->image && (record->kind & (KIND_IMAGE_ICON | KIND_IMAGE_BITMAP)))
        destroy_image(record->kind, record->image);
    record->image = nullptr;
    if (record->large_icon)
        DestroyIcon(record->large_icon);
    if (record->small_icon)
        DestroyIcon(record->small_icon);
    record->large_icon = nullptr;
    record->small_icon = nullptr;

    release_graphic_objects(record);
    destroy_image_lists(record->hwnd, record->class_index, false);

    free_window_record(record);
    return true;
}

}  // namespace

void release_window_record(HWND hwnd)
{
    release_record(hwnd);
}
