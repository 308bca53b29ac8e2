// The About box AboutBox1: program name, version and two links (e-mail and
// home page) opened with the desktop's handler.
#pragma once

#include "dialogs/ClickLabel.h"

#include <QDialog>
#include <QLabel>
#include <QUrl>

#include <functional>

class QFrame;
class QPushButton;


class TAboutBox1 : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* EMailAddress = "kaptivus2000@example.org";
    static constexpr const char* HomePage = "https://kaptivus.example.org/";

    explicit TAboutBox1(QWidget* parent = nullptr);

    // Opens an address with the desktop's handler and later calls back with
    // whether it worked (no handler, or one that failed: false).
    // platform::openWithDesktop unless replaced (tests).
    std::function<void(const QUrl&, std::function<void(bool)>)> OpenUrl;

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label1 = nullptr;
    TClickLabel* Label7 = nullptr;
    QLabel* Label2 = nullptr;
    TClickLabel* Label12 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* OKButton = nullptr;

public slots:
    void OKButtonClick();
    void Label7Click();
    void Label12Click();

private:
    void buildPanel();
    void buildLinks();
    void openLink(const QUrl& url, const QString& failure);
};

// Creates the About box, shows it modally and releases it.
void ShowAboutBox(QWidget* parent);
