// The dialog Choose1: the folder, base name and extension of numbered saves,
// and whether GIF files get a transparent colour. It edits the agent's
// settings in place; there is no cancel.
#pragma once

#include "files/ui/SaveSettings.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TChoose1 : public QDialog {
    Q_OBJECT
public:
    // tempFolder is what "Défaut" makes the folder of numbered saves.
    TChoose1(kaptivus::files::ui::TSaveSettings settings, QString tempFolder, QWidget* parent = nullptr);

    QGroupBox* GroupBox1 = nullptr; // "Répertoire actuel"
    QLabel* Label1 = nullptr;       // the folder of numbered saves
    QPushButton* Button1 = nullptr; // "Changer le répertoire actuel"
    QGroupBox* GroupBox3 = nullptr; // " Nom de fichier par défaut "
    QLineEdit* Edit1 = nullptr;
    QGroupBox* RadioGroup1 = nullptr; // "Extension"
    QRadioButton* RadioButton1 = nullptr; // "JPEG"
    QRadioButton* RadioButton2 = nullptr; // "JPG"
    QRadioButton* RadioButton3 = nullptr; // "BMP"
    QRadioButton* RadioButton4 = nullptr; // "WMF"
    QRadioButton* RadioButton5 = nullptr; // "EMF"
    QRadioButton* RadioButton6 = nullptr; // "GIF"
    QRadioButton* RadioButton7 = nullptr; // "PNG"
    QCheckBox* CheckBox1 = nullptr;       // "Transparent"
    QPushButton* BitBtn1 = nullptr;       // OK
    QPushButton* BitBtn2 = nullptr;       // "Défaut"

    // The extension each button stands for, in button order.
    static const std::array<const char*, 7> Extensions;

public slots:
    void FormActivate();
    void Button1Click();
    void BitBtn1Click();
    void BitBtn2Click();
    void RadioButtonMouseUp(QRadioButton* button);
    void CheckBox1MouseUp();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void done(int result) override;

private:
    void buildControls();
    void FormCreate();
    void FormClose();
    std::array<QRadioButton*, 7> radioButtons() const;

    kaptivus::files::ui::TSaveSettings m_settings;
    QString m_tempFolder;
};
