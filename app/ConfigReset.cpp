// The configuration reset, reached from both menus.
#include "app/ConfigReset.h"

#include "app/Tray.h"
#include "config/RegistryStore.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

void RunConfigurationReset(TTray1& agent)
{
    QApplication::beep();
    QMessageBox question(QMessageBox::Question, QStringLiteral("Confirmer"),
                         QStringLiteral("Cleanup Registry ?\r\nRemove old Kaptivus® Version entries\r\n"
                                        "and reset configuration to Default"),
                         QMessageBox::NoButton);
    QPushButton* yes = question.addButton(QStringLiteral("&Oui"), QMessageBox::YesRole);
    QPushButton* no = question.addButton(QStringLiteral("&Non"), QMessageBox::NoRole);
    question.setDefaultButton(yes);
    // Closing the box any other way counts as "&Non": a dismissed question changes nothing.
    question.setEscapeButton(no);
    question.exec();
    if (question.clickedButton() != yes) return;

    kaptivus::config::RegistryStore store;
    (void)store.open();
    // A key that is already gone is fine; one that cannot be removed is said so,
    // and the program goes on with its settings rather than claim a clean-up.
    if (const auto deleted = store.deleteKey(kaptivus::config::kSettingsKey); !deleted.ok()) {
        QApplication::beep();
        QMessageBox::critical(nullptr, QStringLiteral("Erreur"),
                              QStringLiteral("The configuration could not be removed:\n%1")
                                  .arg(QString::fromStdString(deleted.error)));
        return;
    }

    QMessageBox done(QMessageBox::Information, QStringLiteral("Information"),
                     QStringLiteral("Registry Cleanup successfully\r\n\r\nPlease Restart Kaptivus2000"),
                     QMessageBox::NoButton);
    done.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    done.exec();
    agent.QuitAgent();
}
