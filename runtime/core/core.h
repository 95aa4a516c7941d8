// Run-time core: process start-up and shutdown, per-thread records, spin locks,
// procedure activations with their error record, temporary-string stack and
// release list.
//
// Every run-time operation that reports a failure records a run-time error
// number in the error record of the innermost procedure activation of the
// calling thread.  An application procedure opens an activation by declaring an
// `activation` object as its first local; the object's constructor links the
// frame into the thread record and its destructor releases the frame's locals
// and temporaries and unlinks it.  Code that runs without an activation of its
// own (start-up, the dialog engine's window procedure before any callback) uses
// the thread's base frame, which lives inside the thread record.
//
// Conventions of the whole run-time layer (every folder under runtime/):
//  - Truth values: an operation the application calls that answers yes or no
//    returns int32_t RUNTIME_TRUE (-1, all bits set) or RUNTIME_FALSE (0), the
//    application's own truth values.  Functions that only the run-time calls,
//    and helpers inside a source file, answer with bool.
//  - Helpers private to a source file live in an anonymous namespace.
//  - Platform calls that come in A and W forms use the W form: window text,
//    messages and paths cross as wide text.  The A form is used only where the
//    bytes are the point: the start-up's platform check (version record,
//    start-up information and the refusal message), which must work on the
//    platforms it refuses.
//  - Failures are reported through the run-time error numbers below, never
//    through results or messages.
#pragma once

#include <stdint.h>
#include <windows.h>

// Truth values of the operations the application calls.
enum : int32_t { RUNTIME_TRUE = -1, RUNTIME_FALSE = 0 };

// A counted string: null (the empty string), an owned value from the OLE
// string allocator, or a borrowed reference (lowest bit set), which its holder
// never frees.  The values themselves are made by the strings layer
// (strings.h); what owning one means is said here, because activations and
// release lists free the strings they hold.
typedef uintptr_t string_handle;
inline bool is_borrowed(string_handle h) { return (h & 1u) != 0; }
void release_string(string_handle h);  // frees an owned value; borrowed and null handles are ignored

// ---------------------------------------------------------------------------
// Spin-lock words.  0 is free; taken by exchanging -1 in until the old value
// was 0, released by storing 0.  Held only for one list walk, one relink or one
// guarded call, never across a call out of the run-time.
struct spin_lock {
    volatile LONG word;
};
void take_lock(spin_lock* lock);
void give_lock(spin_lock* lock);

// Holds a spin lock for the lifetime of the object.
class lock_hold {
public:
    explicit lock_hold(spin_lock* lock) : lock_(lock) { take_lock(lock_); }
    ~lock_hold() { give_lock(lock_); }
    lock_hold(const lock_hold&) = delete;
    lock_hold& operator=(const lock_hold&) = delete;

private:
    spin_lock* lock_;
};

// ---------------------------------------------------------------------------
// Release lists: variables that must be released when their holder ends (the
// program's globals at exit, a thread's variables when its record is released,
// a procedure's string locals when it returns).
enum release_kind : uint32_t {
    RELEASE_STRING = 1,   // string_handle*: freed with release_string
    RELEASE_OBJECT = 2,   // IUnknown**: Release called once when not null
    RELEASE_VARIANT = 3,  // VARIANT*: VariantClear
};

struct release_entry {
    void* variable;
    uint32_t kind;  // release_kind
};

struct release_list {
    const release_entry* entries;
    uint32_t count;
};

// Releases every variable of the list, in list order.
void release_variables(const release_list& list);
void release_variable(const release_entry& entry);

// ---------------------------------------------------------------------------
// Procedure activations.
enum { TEMP_STACK_SIZE = 5, FRAME_LOCALS = 8 };

struct procedure_frame {
    procedure_frame* outer;               // enclosing activation on this thread, or null
    uint32_t error;                       // run-time error number 0..255, 0 = no error
    uint32_t depth;                       // temporaries in use; temps[depth - 1] is the top
    string_handle temps[TEMP_STACK_SIZE]; // owned entries are owned by the frame
    uint32_t local_count;
    release_entry locals[FRAME_LOCALS];   // string locals freed, in order, at procedure end
};

// One object per activation of an application procedure.  Declare it first in
// the procedure; register string locals with release_at_exit.
class activation {
public:
    activation();
    ~activation();
    activation(const activation&) = delete;
    activation& operator=(const activation&) = delete;

    // The variable's value is released when the procedure returns.
    void release_at_exit(string_handle* variable);

    procedure_frame frame;
};

// The innermost activation of the calling thread (the thread's base frame when
// no application procedure is active).  Never null once the thread has a
// record; null only when the thread record cannot be allocated.
procedure_frame* current_frame();

// ---------------------------------------------------------------------------
// Run-time error numbers: what an activation's error record holds, 0 to 255.
// They are named RUNTIME_ERROR_*; the platform's ERROR_* names are system error
// codes, which the file layer's guard maps onto these.
enum runtime_error : uint32_t {
    RUNTIME_ERROR_NONE = 0,
    RUNTIME_ERROR_INVALID_ARGUMENT = 5,     // a value the operation does not take; a font not created
    RUNTIME_ERROR_OUT_OF_MEMORY = 7,        // a string, a record or a conversion could not be allocated
    RUNTIME_ERROR_INTERNAL = 51,            // an error raised without a number; some system errors
    RUNTIME_ERROR_BAD_FILE_NUMBER = 52,     // the file number is not open, or negative
    RUNTIME_ERROR_FILE_NOT_FOUND = 53,
    RUNTIME_ERROR_BAD_FILE_MODE = 54,       // not allowed in the mode the file was opened in
    RUNTIME_ERROR_FILE_ALREADY_OPEN = 55,
    RUNTIME_ERROR_DEVICE_IO = 57,           // a short write to a file that is not a disk file
    RUNTIME_ERROR_DISK_FULL = 61,           // a short write to a disk file
    RUNTIME_ERROR_INPUT_PAST_END = 62,      // line input with no text left
    RUNTIME_ERROR_BAD_FILE_NAME = 64,       // an empty path, or one with '*' or '?'
    RUNTIME_ERROR_TOO_MANY_FILES = 67,
    RUNTIME_ERROR_DEVICE_UNAVAILABLE = 68,
    RUNTIME_ERROR_DEVICE_MODE = 69,         // a device-mode open failed, or named a disk file
    RUNTIME_ERROR_PERMISSION_DENIED = 70,   // access denied, sharing or lock violation
    RUNTIME_ERROR_DISK_NOT_READY = 71,
    RUNTIME_ERROR_DISK_MEDIA = 72,          // a read, write, seek or media fault
    RUNTIME_ERROR_NOT_SAME_DISK = 74,
    RUNTIME_ERROR_PATH_FILE_ACCESS = 75,    // every system error without a number of its own
    RUNTIME_ERROR_PATH_NOT_FOUND = 76,

    // 241 to 255 end the process at the moment they are raised.
    RUNTIME_ERROR_FATAL_FIRST = 241,
    RUNTIME_ERROR_SYSTEM_MEMORY = 241,      // the system's memory blocks are damaged
    RUNTIME_ERROR_MISSING_FEATURE = 244,    // a path needing a feature this run-time does not have
    RUNTIME_ERROR_FATAL_LAST = 255,

    // What raise_error records for 0, and raise_checked for a number outside 1..255.
    RUNTIME_ERROR_FOR_ZERO = RUNTIME_ERROR_INTERNAL,
    RUNTIME_ERROR_FOR_OUT_OF_RANGE = RUNTIME_ERROR_INVALID_ARGUMENT,
};

// The exit code of a process that the run-time ends: a refused platform, a
// failed start-up, or a fatal error.
enum : UINT { EXIT_CODE_FATAL = 255 };

// ---------------------------------------------------------------------------
// Run-time error state (per activation).
// Records the number (8 bits) in the calling activation's error record: 0
// becomes RUNTIME_ERROR_FOR_ZERO, and a number of the fatal range ends the
// process with EXIT_CODE_FATAL.
void raise_error(uint32_t number);
// A number given by a program: outside 1..255 it becomes
// RUNTIME_ERROR_FOR_OUT_OF_RANGE, then as raise_error.
void raise_checked(int32_t number);
uint32_t error_number();             // the current number, and the record is reset to 0
void clear_error();

// Ends the process at once with exit code 255: no message, no release, no
// CoUninitialize.
[[noreturn]] void end_process_fatal();

// ---------------------------------------------------------------------------
// Per-thread records.
enum : int32_t { DEFAULT_FONT_NUMBER = 1 };  // the first built-in font: the dialog font at start
struct thread_record {
    int32_t default_dialog_font;  // font number for new dialog templates, 1 at start
    uint32_t code_page;           // text code page for byte/wide conversion, 0 = CP_ACP
    procedure_frame* innermost;   // innermost activation, null = base_frame
    procedure_frame base_frame;   // frame of code that runs outside any activation
};

// The calling thread's record, created and attached when the thread has none.
// Null when it cannot be allocated; no error number is recorded then: without
// a thread record there is no activation to hold one.
thread_record* current_thread_record();
void release_thread_record();

// ---------------------------------------------------------------------------
// The program that the run-time starts.
typedef int32_t (*application_entry_fn)(HINSTANCE instance, uint32_t reserved,
                                        const wchar_t* argument_tail, int32_t show_command);

enum : uint16_t { OPTION_BUILD_DEFAULT_FONTS = 0x0200 };

struct program_image {
    application_entry_fn entry;
    uint16_t option_word;             // 0x0200 in this system
    void (*build_default_fonts)();    // run at start-up when OPTION_BUILD_DEFAULT_FONTS is set
    release_list globals_release;     // released at exit, in order
    release_list thread_release;      // released with each thread record
};

// Each executable that starts through process_entry defines this.
extern const program_image the_program;

// Process-wide run-time state.
struct runtime_state {
    HINSTANCE instance;               // module handle of the executable
    const wchar_t* argument_tail;     // points into the process command line
    int32_t show_command;             // from the start-up information, or SW_SHOWDEFAULT
    OSVERSIONINFOA version;
    DWORD tls_slot;                   // TLS_OUT_OF_INDEXES until allocated
    thread_record* main_thread;       // owned by the TLS slot of the first thread
    LONG thread_count;                // threads holding a record; part of the state's layout, read by no
                                      // run-time operation, changed with interlocked operations
    const program_image* program;
};
extern runtime_state g_runtime;

// The process entry: checks the platform, starts the run-time, calls the
// program's entry once, releases the run-time and ends with ExitProcess.
// The executable's WinMain (after the C++ start-up has run) calls it.
[[noreturn]] void process_entry();

// The pieces of process_entry, also used by test programs that start the
// run-time without giving up their own main.
//  start_runtime: checks the platform (outside the NT family: the refusal
//    message and exit code 255), fills g_runtime, creates the main thread's
//    record, initialises COM and the common controls, sets the x87 control
//    word and builds the built-in fonts when the program asks for them.
//  stop_runtime: releases the program's globals and the main thread's record,
//    frees the TLS slot and uninitialises COM.
void start_runtime(const program_image& program);
void stop_runtime();

// The text after the program name in a command line (quoted or plain name,
// then the spaces after it).
const wchar_t* find_argument_tail(const wchar_t* command_line);

// Sets the x87 control word.  The start-up uses START_FPU_CONTROL_WORD.
void set_fpu_control_word(uint16_t word);
uint16_t get_fpu_control_word();

// x87 control word bits.
enum : uint16_t {
    FPU_MASK_ALL_EXCEPTIONS = 0x003F,  // invalid, denormal, zero divide, overflow, underflow, precision
    FPU_PRECISION_64 = 0x0300,         // 64-bit mantissa
    FPU_ROUND_TO_NEAREST = 0x0000,
    FPU_INFINITY_CONTROL = 0x1000,     // kept set, as the unit's own initial word has it
    START_FPU_CONTROL_WORD =
        FPU_MASK_ALL_EXCEPTIONS | FPU_PRECISION_64 | FPU_ROUND_TO_NEAREST | FPU_INFINITY_CONTROL,
};
static_assert(START_FPU_CONTROL_WORD == 0x133F, "the documented start-up control word");
