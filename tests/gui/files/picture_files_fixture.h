// The agent, the picture window and the information window wired as the
// program wires them, on fresh settings, with a folder for picture files and
// helpers that answer the modal dialogs the file commands open.
#pragma once

#include "../picture/main_fixture.h"
#include "BellWatcher.h"

#include "app/Wiring.h"
#include "dialogs/Info.h"
#include "files/PictureFiles.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QTemporaryDir>

namespace kaptivus::files::testing {

using picture::testing::SettingsFile;
using picture::testing::WaitFor;

// 8 x 6, every pixel different, so flips and channel swaps show.
inline pixels::Picture Asymmetric(int width = 8, int height = 6)
{
    pixels::Picture p = pixels::Picture::create(width, height, pixels::PixelFormat::Bits24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p.setPixel(x, y, pixels::PixelBGR{uint8_t(30 * y), uint8_t(250 - 25 * x), uint8_t(25 * x + 5)});
    return p;
}

// What a message box said, and its default button's text.
struct SeenBox {
    QString caption;
    QString text;
    QString defaultButton;
};

// Answers each modal widget that appears with the next handler in turn (a
// message box without a handler is answered "OK" and recorded).
class ModalAnswers : public QObject {
public:
    explicit ModalAnswers(std::vector<std::function<void(QWidget*)>> handlers = {})
        : m_handlers(std::move(handlers))
    {
        startTimer(10);
    }
    std::vector<SeenBox> boxes;
    int seen = 0;
    // The buttons to click in the boxes that appear, in turn (then the first button).
    QStringList boxAnswers;
    // Runs when a box appears, before it is answered.
    std::function<void(QMessageBox*)> onBox;

protected:
    void timerEvent(QTimerEvent*) override
    {
        QWidget* modal = QApplication::activeModalWidget();
        // A guarded pointer: a new dialog may take the address of one just destroyed.
        if (!modal || modal == m_last.data())
            return;
        m_last = modal;
        ++seen;
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            boxes.push_back({box->windowTitle(), box->text(),
                             box->defaultButton() ? box->defaultButton()->text() : QString()});
            if (onBox) onBox(box);
            const QString answer = boxAnswers.isEmpty() ? QString() : boxAnswers.takeFirst();
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == answer) {
                    button->click();
                    return;
                }
            }
            if (!box->buttons().isEmpty()) box->buttons().constFirst()->click();
            return;
        }
        if (m_handlers.empty()) return;
        auto handler = std::move(m_handlers.front());
        m_handlers.erase(m_handlers.begin());
        handler(modal);
    }

private:
    std::vector<std::function<void(QWidget*)>> m_handlers;
    QPointer<QWidget> m_last;
};

// Chooses a file in a file dialog, with the filter entry of that 1-based index.
inline std::function<void(QWidget*)> ChooseFile(const QString& path, int filterIndex = 1)
{
    return [path, filterIndex](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->selectNameFilter(dialog->nameFilters().value(filterIndex - 1));
        dialog->selectFile(path);
        // selectFile leaves the name field alone while it has the focus, as a
        // shown dialog's field may have by now; the name is typed there then.
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            edit->setText(QFileInfo(path).fileName());
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    };
}

// The first of the formats whose codec reads and writes, by extension ("" when none does yet).
inline std::string WorkingFormat()
{
    for (const char* ext : {".png", ".bmp", ".jpg", ".gif"}) {
        const QString path = QDir::temp().filePath(QStringLiteral("probe") + QLatin1String(ext));
        pixels::Picture probe = Asymmetric(4, 4);
        if (SavePicture(path.toStdString(), probe, false).ok() && LoadPicture(path.toStdString(), 24).ok()) {
            QFile::remove(path);
            return ext;
        }
    }
    return {};
}

class PictureFilesWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(SettingsFile());
        start();
        ASSERT_TRUE(folder.isValid());
    }

    void TearDown() override { stop(); }
    void start()
    {
        tray = std::make_unique<TTray1>();
        main1 = std::make_unique<TMain1>(tray.get());
        info1 = std::make_unique<TInfo1>();
        WireWindows(*tray, *main1, *info1);
        main1->memoryInfo = [] { return std::pair<quint64, quint64>(1000, 500); };
        main1->FormCreate();
    }
    void stop()
    {
        info1->hide();
        main1->hide();
        tray->Main1 = nullptr;
        tray->Info1 = nullptr;
        main1.reset();
        info1.reset();
        tray.reset();
    }
    // Writes the settings and starts again, as a new run of the program would.
    void restart()
    {
        main1->FormClose();
        stop();
        start();
    }
    void showPicture(const pixels::Picture& picture)
    {
        tray->CaptureBitmap = picture;
        main1->ApplyPictureOptions(false, picture.width(), picture.height());
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    std::vector<QString> historyCaptions() const
    {
        std::vector<QString> captions;
        for (QAction* item : main1->history) captions.push_back(item->text());
        return captions;
    }
    int markedEntry() const
    {
        int marked = -1; // -2: more than one
        for (size_t i = 0; i < main1->history.size(); ++i)
            if (main1->history[i]->isChecked()) marked = marked == -1 ? int(i) : -2;
        return marked;
    }

    QTemporaryDir folder;
    std::unique_ptr<TTray1> tray;
    std::unique_ptr<TMain1> main1;
    std::unique_ptr<TInfo1> info1;
};

} // namespace kaptivus::files::testing
