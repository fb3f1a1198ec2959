#!/usr/bin/python3
"""Runs the built 32-bit VelmorantUtils.dll in an x86-32 CPU emulator (Unicorn), playing the runtime and USER32.

For machines that cannot run 32-bit Windows programs: the module's own machine code is executed, every import
is answered here, and the stack is checked around every call into the module, so a function that removes its
own arguments (stdcall) fails. Usage: run32.py path/to/VelmorantUtils.dll
"""
import pathlib
import struct
import sys

import pefile
from unicorn import UC_ARCH_X86, UC_HOOK_CODE, UC_MODE_32, Uc, UcError
from unicorn import UC_PROT_EXEC, UC_PROT_NONE, UC_PROT_READ, UC_PROT_WRITE
from unicorn.x86_const import UC_X86_REG_EAX, UC_X86_REG_EBP, UC_X86_REG_EBX, UC_X86_REG_EDI, UC_X86_REG_EIP
from unicorn.x86_const import UC_X86_REG_ESI, UC_X86_REG_ESP

PAGE = 0x1000
STUBS, STACK, SCRATCH, ARGUMENTS = 0x00100000, 0x00200000, 0x00300000, 0x00400000
STACK_SIZE = 0x10000
SENTINEL = 0x0BAD0000  # return address of every call into the module; never mapped
# Registers the C convention makes the callee preserve, preset to values a slip would change.
PRESERVED = {UC_X86_REG_EBX: 0x11111111, UC_X86_REG_ESI: 0x22222222, UC_X86_REG_EDI: 0x33333333,
             UC_X86_REG_EBP: 0x44444444}
MODE_SIZE, WIDTH_AT, SIZE_AT = 220, 172, 68
SPI_GETKEYBOARDSPEED, SPI_SETKEYBOARDSPEED, SPIF_UPDATEINIFILE = 0x0A, 0x0B, 1
DISP_CHANGE_RESTART, DISP_CHANGE_BADMODE, CDS_FULLSCREEN = 1, -2, 4
FRE_OK, FRE_INVALID_OBJECT, FRE_TYPE_MISMATCH, FRE_INVALID_ARGUMENT = 0, 2, 3, 5
FUNCTIONS = [line for line in (pathlib.Path(__file__).parent.parent / "support" / "table.txt").read_text().splitlines()
             if line and not line.startswith("#")]


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def u32(value):
    return value & 0xFFFFFFFF


class Mode(bytes):
    """A 220-byte display-mode record, shown by its size in messages."""

    def __repr__(self):
        return "mode(%dx%d)" % struct.unpack_from("<ii", self, WIDTH_AT)


def distinct_mode(width, height):
    """A mode record in which every other byte differs, so a copy that drops or moves one shows."""
    mode = bytearray((i * 37 + 11) & 0xFF for i in range(MODE_SIZE))
    struct.pack_into("<HH", mode, SIZE_AT, MODE_SIZE, 0)
    struct.pack_into("<II", mode, WIDTH_AT, width, height)
    return Mode(mode)


def with_size(mode, width, height):
    changed = bytearray(mode)
    struct.pack_into("<II", changed, WIDTH_AT, u32(width), u32(height))
    return Mode(changed)


class Machine:
    """One freshly loaded module with a fake USER32 and a stand-in runtime, as after loading the extension."""

    def __init__(self, image):
        self.uc = Uc(UC_ARCH_X86, UC_MODE_32)
        self.image = image
        self.mode = distinct_mode(1024, 768)  # the display's current mode
        self.speed = 31  # the keyboard's current speed
        self.query_answers, self.change_answers, self.speed_query_answers = [], [], []
        self.calls = []  # USER32 calls, as (name, arguments...)
        self.new_bools = []  # values handed to FRENewObjectFromBool
        self.objects = {}  # object handle -> integer, string or Boolean
        self.initializer = self.finalizer = 0
        for base, size in ((STUBS, PAGE), (STACK, STACK_SIZE), (SCRATCH, PAGE), (ARGUMENTS, PAGE)):
            self.uc.mem_map(base, size, UC_PROT_EXEC if base == STUBS else UC_PROT_READ | UC_PROT_WRITE)
        self.load()
        self.uc.hook_add(UC_HOOK_CODE, self.answer_import, begin=STUBS, end=STUBS + PAGE - 1)

    def r32(self, address):
        return struct.unpack("<I", self.uc.mem_read(address, 4))[0]

    def w32(self, address, value):
        self.uc.mem_write(address, struct.pack("<I", u32(value)))

    def cstring(self, address):
        text = bytes(self.uc.mem_read(address, 64))
        return text.split(b"\0")[0].decode()

    def load(self):
        pe = pefile.PE(data=self.image)
        check(pe.FILE_HEADER.Machine == 0x14C, "not a 32-bit x86 module (machine 0x%x)" % pe.FILE_HEADER.Machine)
        self.base, size = pe.OPTIONAL_HEADER.ImageBase, pe.OPTIONAL_HEADER.SizeOfImage
        taken = [(STUBS, STUBS + PAGE), (STACK, STACK + STACK_SIZE), (SCRATCH, ARGUMENTS + 2 * PAGE),
                 (SENTINEL, SENTINEL + PAGE)]
        fits = self.base % PAGE == 0 and self.base + size <= 1 << 32 and all(
            self.base + size <= start or end <= self.base for start, end in taken)
        check(fits, "the module cannot lie at its ImageBase 0x%x here and would need relocating" % self.base)
        pages = (size + PAGE - 1) & ~(PAGE - 1)
        self.uc.mem_map(self.base, pages, UC_PROT_NONE)  # pages no section covers stay so
        self.uc.mem_write(self.base, pe.get_memory_mapped_image()[:pages])
        self.uc.mem_protect(self.base, PAGE, UC_PROT_READ)
        for section in pe.sections:
            flags = section.Characteristics
            prot = ((UC_PROT_READ if flags & 0x40000000 else 0) | (UC_PROT_WRITE if flags & 0x80000000 else 0) |
                    (UC_PROT_EXEC if flags & 0x20000000 else 0))
            length = (max(section.Misc_VirtualSize, 1) + PAGE - 1) & ~(PAGE - 1)
            self.uc.mem_protect(self.base + section.VirtualAddress, length, prot or UC_PROT_NONE)
        self.bind_imports(pe)
        self.exports = {symbol.name.decode(): self.base + symbol.address for symbol in pe.DIRECTORY_ENTRY_EXPORT.symbols}
        missing = {"ExtensionInitializer", "ExtensionFinalizer"} - set(self.exports)
        check(not missing, "entry points not exported: %s" % ", ".join(sorted(missing)))

    def bind_imports(self, pe):
        # name: (handler, bytes the function removes itself: 0 for the C convention, the argument bytes for WINAPI)
        known = {"FREGetObjectAsInt32": (self.fre_get_int, 0), "FRENewObjectFromBool": (self.fre_new_bool, 0),
                 "EnumDisplaySettingsW": (self.enum_display_settings, 12),
                 "ChangeDisplaySettingsExW": (self.change_display_settings, 20),
                 "SystemParametersInfoW": (self.system_parameters_info, 16)}
        self.stubs = {}
        for entry in pe.DIRECTORY_ENTRY_IMPORT:
            library = pe.get_string_at_rva(entry.struct.Name).decode()  # pefile's own name is lost to the space
            for function in entry.imports:
                check(function.name, "%s is imported by ordinal, which the harness cannot answer" % library)
                name = function.name.decode()
                check(name in known, "import the harness does not know: %s!%s" % (library, name))
                stub = STUBS + 16 * len(self.stubs)
                self.stubs[stub] = (name,) + known[name]
                self.w32(function.address, stub)

    def answer_import(self, uc, address, size, user_data):
        name, handler, removes = self.stubs[address]
        esp = uc.reg_read(UC_X86_REG_ESP)
        result = handler(*[self.r32(esp + 4 + 4 * i) for i in range(5)])
        uc.reg_write(UC_X86_REG_EAX, u32(result))
        uc.reg_write(UC_X86_REG_ESP, esp + 4 + removes)
        uc.reg_write(UC_X86_REG_EIP, self.r32(esp))

    def call(self, what, address, *arguments):
        """Calls into the module as the runtime does: C convention, arguments pushed right to left."""
        self.uc.mem_write(STACK, b"\xcc" * STACK_SIZE)  # junk where the module's locals go, like a used stack
        esp = STACK + STACK_SIZE - 0x100 - 4 * len(arguments) - 4
        for i, value in enumerate((SENTINEL,) + arguments):
            self.w32(esp + 4 * i, value)
        self.uc.reg_write(UC_X86_REG_ESP, esp)
        for register, value in PRESERVED.items():
            self.uc.reg_write(register, value)
        try:
            self.uc.emu_start(address, SENTINEL, count=100000)
        except UcError as fault:
            raise AssertionError("%s faulted at 0x%x: %s" % (what, self.uc.reg_read(UC_X86_REG_EIP), fault))
        check(self.uc.reg_read(UC_X86_REG_EIP) == SENTINEL, "%s did not return" % what)
        drift = self.uc.reg_read(UC_X86_REG_ESP) - (esp + 4)
        check(drift == 0, "%s left the stack pointer %+d bytes off the C convention's (a function that removes "
                          "its own arguments, stdcall?)" % (what, drift))
        for register, value in PRESERVED.items():
            check(self.uc.reg_read(register) == value, "%s did not preserve a callee-saved register" % what)
        return self.uc.reg_read(UC_X86_REG_EAX)

    # The stand-in runtime: opening a context, calling functions by name, the objects it hands out.
    def open_context(self, context_type="", handle=0xC0):
        """Opens a context, initializing the extension first if none is open; returns (name, data, function) rows."""
        out = SCRATCH + 0x100
        self.uc.mem_write(out, b"\0" * 0x100)
        self.uc.mem_write(out + 0x80, context_type.encode() + b"\0")
        if not self.finalizer:  # the first context: the runtime initializes the extension once per load
            self.call("ExtensionInitializer", self.exports["ExtensionInitializer"], out, out + 4, out + 8)
            self.data, self.initializer, self.finalizer = self.r32(out), self.r32(out + 4), self.r32(out + 8)
        self.call("the context initializer", self.initializer, self.data, out + 0x80, handle, out + 12, out + 16)
        count, table = self.r32(out + 12), self.r32(out + 16)
        check(count == 4, "the context got %d functions, not 4" % count)
        rows = [[self.r32(table + 12 * i + 4 * field) for field in range(3)] for i in range(count)]
        self.rows = [(self.cstring(name), data, function) for name, data, function in rows]
        return self.rows

    def invoke(self, name, *values, count=None, null_array=False):
        """Calls a table function with objects made from the values; returns the result's value (None for null)."""
        handles = [self.make(value) for value in values]
        array = ARGUMENTS + PAGE - 4 * len(handles)  # ends where the unmapped page begins
        for i, handle in enumerate(handles):
            self.w32(array + 4 * i, handle)
        data, function = {row[0]: row[1:] for row in self.rows}[name]
        result = self.call(name, function, 0xC0, data, len(values) if count is None else count,
                           0 if null_array else array)
        check(result == 0 or result in self.objects, "%s returned 0x%x, no object the runtime made" % (name, result))
        return self.objects.get(result)

    def make(self, value):
        handle = 0x100 + 4 * len(self.objects)
        self.objects[handle] = value
        return handle

    def fre_get_int(self, handle, out, *_):
        value = self.objects.get(handle)
        if not out or type(value) not in (int, bool):  # a Boolean converts, as 1 or 0
            return FRE_INVALID_ARGUMENT if not out else FRE_INVALID_OBJECT if value is None else FRE_TYPE_MISMATCH
        self.w32(out, int(value))
        return FRE_OK

    def fre_new_bool(self, value, out, *_):
        self.new_bools.append(value)
        if out == 0:
            return FRE_INVALID_ARGUMENT
        self.w32(out, self.make(value != 0))
        return FRE_OK

    # USER32, faked: a display whose accepted modes become current, and a keyboard speed.
    def read_mode(self, address):
        return address and Mode(self.uc.mem_read(address, MODE_SIZE))

    def enum_display_settings(self, device, number, mode, *_):
        self.calls.append(("EnumDisplaySettingsW", device, number, self.read_mode(mode)))
        answer = self.query_answers.pop(0) if self.query_answers else 1
        if answer and mode:
            self.uc.mem_write(mode, self.mode)
        return answer

    def change_display_settings(self, device, mode, window, flags, parameter):
        record = self.read_mode(mode)
        self.calls.append(("ChangeDisplaySettingsExW", device, record, window, flags, parameter))
        answer = self.change_answers.pop(0) if self.change_answers else 0
        if answer == 0 and mode:
            self.mode = record
        return answer

    def system_parameters_info(self, action, ui_param, pv_param, win_ini, *_):
        self.calls.append(("SystemParametersInfoW", action, ui_param, pv_param and self.r32(pv_param), win_ini))
        if action == SPI_SETKEYBOARDSPEED:
            self.speed = ui_param
            return 1
        answer = self.speed_query_answers.pop(0) if self.speed_query_answers else 1
        if action != SPI_GETKEYBOARDSPEED or not answer or not pv_param:
            return 0
        self.w32(pv_param, self.speed)
        return 1


def query():
    """The current-mode query the module must make: null device, ENUM_CURRENT_SETTINGS, a zeroed record."""
    blank = bytearray(MODE_SIZE)
    struct.pack_into("<H", blank, SIZE_AT, MODE_SIZE)
    return ("EnumDisplaySettingsW", 0, 0xFFFFFFFF, Mode(blank))


def change(mode, flags=0):
    return ("ChangeDisplaySettingsExW", 0, mode, 0, flags, 0)  # flags 0: for this session; CDS_FULLSCREEN: temporary


def speed(action, value):
    return ("SystemParametersInfoW", action, u32(value), 0, SPIF_UPDATEINIFILE)


def opened(image):
    machine = Machine(image)
    machine.open_context()
    return machine


def call(machine, name, *values, returns=None, **how):
    """Calls a table function and checks its result: true, false or null (None)."""
    result = machine.invoke(name, *values, **how)
    check(result is returns, "%s%r%s returned %r, expected %r" % (name, values, " %s" % how if how else "", result,
                                                                   returns))


def expect(machine, what, calls, new_bools=()):
    """Checks what reached USER32 and FRENewObjectFromBool since the last check."""
    for i, (made, wanted) in enumerate(zip(machine.calls, calls)):
        for field, (value, want) in enumerate(zip(made, wanted)):
            at = [k for k in range(MODE_SIZE) if value[k] != want[k]] if isinstance(want, Mode) and value else []
            check(value == want, "%s: call %d, %s, argument %d is %r, expected %r%s" % (
                what, i + 1, made[0], field, value, want, " (bytes %s differ)" % at if at else ""))
    check(len(machine.calls) == len(calls), "%s: USER32 got %s, expected %s" % (what, machine.calls, calls))
    check(machine.new_bools == list(new_bools), "%s: FRENewObjectFromBool got %s, expected %s" % (
        what, machine.new_bools, list(new_bools)))
    machine.calls.clear()
    machine.new_bools.clear()


def every_context_gets_the_four_rows(image):
    machine = Machine(image)
    for handle, context_type in ((0xC0, ""), (0xC4, "any type")):
        rows = machine.open_context(context_type, handle)
        check([row[0] for row in rows] == FUNCTIONS, "rows %s, expected %s" % ([row[0] for row in rows], FUNCTIONS))
        check(all(row[1] == 0 for row in rows), "function data is not null: %s" % rows)
        machine.call("the context finalizer", machine.finalizer, handle)
    machine.call("ExtensionFinalizer", machine.exports["ExtensionFinalizer"], machine.data)


def switch_and_restore(image):
    machine = opened(image)
    original = machine.mode
    call(machine, "as_setScreenResolution", 800, 600, returns=True)
    expect(machine, "a switch", [query(), change(with_size(original, 800, 600))], new_bools=[1])
    call(machine, "as_setScreenResolution", 640, 480, returns=True)
    call(machine, "as_restoreScreenResolution")
    expect(machine, "a second switch, then a restore", [
        query(), change(with_size(original, 640, 480)), change(original)], new_bools=[1])

    machine = opened(image)
    machine.change_answers = [DISP_CHANGE_BADMODE, DISP_CHANGE_RESTART]
    call(machine, "as_setScreenResolution", 1234, 567, returns=False)
    call(machine, "as_setScreenResolution", 1600, 1200, returns=False)
    machine.mode = distinct_mode(1280, 1024)  # changed by someone else since
    machine.calls.clear()
    call(machine, "as_restoreScreenResolution")
    expect(machine, "a restore after two refused switches", [change(original)], new_bools=[0, 0])


def temporary_switch(image):
    machine = opened(image)
    original = machine.mode
    call(machine, "as_setScreenResolution", 800, 600, 2)
    call(machine, "as_setScreenResolution", 800, 600, 1, returns=True)
    call(machine, "as_setScreenResolution", 640, 480, 0, returns=True)
    call(machine, "as_restoreScreenResolution")
    expect(machine, "switches with a third argument of 2, 1 and 0, then a restore", [
        query(), change(with_size(original, 800, 600), CDS_FULLSCREEN), query(), change(with_size(original, 640, 480)),
        change(original)], new_bools=[1, 1])


def failing_mode_query_captures_nothing(image):
    machine = opened(image)
    machine.query_answers = [0]
    call(machine, "as_setScreenResolution", 800, 600)
    call(machine, "as_restoreScreenResolution")
    expect(machine, "a switch whose query fails, then a restore", [query()])


def keyboard_speed(image):
    machine = opened(image)
    call(machine, "as_setKeyboardSpeed", 5)
    call(machine, "as_setKeyboardSpeed", 9)
    call(machine, "as_restoreKeyboardSpeed")
    expect(machine, "set, set, restore", [speed(SPI_GETKEYBOARDSPEED, 0)] + [
        speed(SPI_SETKEYBOARDSPEED, value) for value in (5, 9, 31)])

    machine = opened(image)
    machine.speed_query_answers = [0]
    call(machine, "as_setKeyboardSpeed", 5)
    call(machine, "as_restoreKeyboardSpeed")
    expect(machine, "a set whose query fails, then a restore", [speed(SPI_GETKEYBOARDSPEED, 0)])
    call(machine, "as_setKeyboardSpeed", 7)
    call(machine, "as_restoreKeyboardSpeed")
    expect(machine, "the next good set, then a restore", [
        speed(SPI_GETKEYBOARDSPEED, 0), speed(SPI_SETKEYBOARDSPEED, 7), speed(SPI_SETKEYBOARDSPEED, 31)])


def malformed_calls_do_nothing(image):
    """Each argument array ends where an unmapped page begins, so reading past the count faults."""
    machine = opened(image)
    for name, values, how in [("as_setScreenResolution", (800,), {}), ("as_setScreenResolution", (), {}),
                              ("as_setScreenResolution", (800, 600), {"null_array": True}),
                              ("as_setScreenResolution", ("800", 600), {}), ("as_setScreenResolution", (8, None), {}),
                              ("as_setKeyboardSpeed", (), {}), ("as_setKeyboardSpeed", (5,), {"null_array": True}),
                              ("as_setKeyboardSpeed", ("5",), {}),
                              ("as_restoreScreenResolution", (), {"null_array": True}),
                              ("as_restoreKeyboardSpeed", (), {"null_array": True})]:
        call(machine, name, *values, **how)
        expect(machine, "%s%r %s" % (name, values, how), [])


def negative_values_reach_the_system_as_their_patterns(image):
    machine = opened(image)
    call(machine, "as_setScreenResolution", -1, -800, returns=True)
    call(machine, "as_setKeyboardSpeed", -5)
    expect(machine, "a switch to -1x-800 and speed -5", [
        query(), change(with_size(distinct_mode(1024, 768), -1, -800)), speed(SPI_GETKEYBOARDSPEED, 0),
        speed(SPI_SETKEYBOARDSPEED, -5)], new_bools=[1])


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: run32.py VelmorantUtils.dll")
    with open(sys.argv[1], "rb") as file:
        image = file.read()
    scenarios = [every_context_gets_the_four_rows, switch_and_restore, failing_mode_query_captures_nothing,
                 keyboard_speed, malformed_calls_do_nothing, negative_values_reach_the_system_as_their_patterns,
                 temporary_switch]
    failed = 0
    for scenario in scenarios:
        try:
            scenario(image)
            print("ok   " + scenario.__name__)
        except Exception as failure:  # a harness error fails the scenario too, with its message
            failed += 1
            print("FAIL %s: %s" % (scenario.__name__, failure))
    print("%d passed, %d failed" % (len(scenarios) - failed, failed))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
