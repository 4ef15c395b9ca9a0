#include "CAboutDlg.h"

#include "resource.h"

namespace omvar::Vetrin {

namespace {

std::wstring widen(const char* text) {
    std::wstring out;
    for (const char* p = text; *p != '\0'; ++p) {
        out.push_back(static_cast<unsigned char>(*p));
    }
    return out;
}

}  // namespace

CAboutDlg::CAboutDlg() : Dialog(IDD_ABOUTBOX) {}

std::wstring CAboutDlg::text() {
    return L"Vetrin\r\n"
           L"    Ver " +
           widen(VETRIN_VERSION) + L" (" + widen(__DATE__) +
           L")\r\n"
           L"\r\n"
           L"HAMLOGでの操作をQUENTRAXのCW送信につなぐ\r\n"
           L"CWキーイング支援プログラム\r\n"
           L"作成: Vetrin 開発チーム";
}

bool CAboutDlg::OnInitDialog() {
    setItemText(IDC_ABOUT_TEXT, text());
    return Dialog::OnInitDialog();
}

}  // namespace omvar::Vetrin
