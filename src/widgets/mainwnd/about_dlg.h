#pragma once

#include <QDialog>
#include <QIcon>

// The "Version Information" box: the program icon, the product title, the version and
// two further lines, and OK. Its texts are fixed and not translated.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kOkId = 1;

    explicit CAboutDlg(QWidget* parent = nullptr);

    // The program's icon (a receipt printer), drawn in code, used by the main window too.
    static QIcon ProgramIcon();
};
