// The smallest program that shows a dialog: a modal dialog from a template
// built in memory, with one button, shown until it is closed. The benchmark
// times its start against the program's, so the difference is what the
// program itself costs beyond the platform's floor. The driver finds it with
// FindWindowA("#32770", "Bare dialog").

#include <windows.h>

#include <cstddef>

namespace {

constexpr WORD kButtonClass = 0x0080;

// Words of a DLGTEMPLATE with DS_SETFONT and one DLGITEMTEMPLATE, as the
// resource compiler lays them out; the template must be DWORD-aligned.
class TemplateWriter {
public:
    void Word(WORD value) { words_[size_++] = value; }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const char* ascii) {
        do {
            Word(static_cast<WORD>(static_cast<unsigned char>(*ascii)));
        } while (*ascii++ != '\0');
    }
    void AlignToDword() {
        if (size_ % 2 != 0) {
            Word(0);
        }
    }
    const DLGTEMPLATE* Template() const { return reinterpret_cast<const DLGTEMPLATE*>(words_); }

private:
    alignas(DWORD) WORD words_[256] = {};
    std::size_t size_ = 0;
};

INT_PTR CALLBACK Bare_DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, 0);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TemplateWriter writer;
    writer.Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME | DS_SETFONT);
    writer.Dword(0);  // extended style
    writer.Word(1);   // one item
    writer.Word(10);  // x
    writer.Word(10);  // y
    writer.Word(120); // cx
    writer.Word(60);  // cy
    writer.Word(0);   // no menu
    writer.Word(0);   // the dialog class
    writer.Text("Bare dialog");
    writer.Word(9); // point size
    writer.Text("MS Shell Dlg");
    writer.AlignToDword();
    writer.Dword(WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
    writer.Dword(0);   // extended style
    writer.Word(35);   // x
    writer.Word(36);   // y
    writer.Word(50);   // cx
    writer.Word(14);   // cy
    writer.Word(IDOK); // id
    writer.Word(0xFFFF);
    writer.Word(kButtonClass);
    writer.Text("OK");
    writer.Word(0); // no creation data
    DialogBoxIndirectParamA(GetModuleHandleA(nullptr), writer.Template(), nullptr, Bare_DialogProc,
                            0);
    return 0;
}
