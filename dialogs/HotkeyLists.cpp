#include "dialogs/HotkeyLists.h"

namespace kaptivus::dialogs {

const std::array<HotkeyAction, HotkeyCount> HotkeyActions { {
    { " Copier le bureau", "Capturer tout le bureau" },
    { " Copier bureau + enregistrer", "Capturer tout le bureau et le sauver dans un fichier" },
    { " Copier bureau dans presse-papiers", "Capturer tout le bureau et l'envoyer dans le presse-papiers" },
    { " Copier fenêtre active", "Capturer la fenêtre active" },
    { " Copier fenêtre active + enregistrer", "Capturer la fenêtre active et l'enregistrer dans un fichier" },
    { " Copier fenêtre active->p-papiers ", "Capturer la fenêtre active et la sauver dans le presse-papiers." },
    { " Copier zone définie", "Capturer une zone rectangulaire du bureau" },
    { " Copier zone + enregistrer", "Capturer une zone rectangulaire et la sauver dans un fichier" },
    { " Copier zone vers presse-papiers", "Capturer une zone et l'envoyer vers le presse-papiers." },
    { " Copier objet", "Capturer un objet du bureau" },
    { " Copier objet + enregistrer", "Copier un objet et le sauver dans un fichier" },
    { " Copier objet vers presse-papiers", "Copier un objet et l'envoyer vers le presse-papiers" },
} };

const std::array<KeyEntry, 58> KeyList { {
    { "Aucun", 0 }, { "PrintScrn", 44 },
    { "F1", 112 }, { "F2", 113 }, { "F3", 114 }, { "F4", 115 }, { "F5", 116 }, { "F6", 117 },
    { "F7", 118 }, { "F8", 119 }, { "F9", 120 }, { "F10", 121 }, { "F11", 122 }, { "F12", 123 },
    { "Num0", 96 }, { "Num1", 97 }, { "Num2", 98 }, { "Num3", 99 }, { "Num4", 100 },
    { "Num5", 101 }, { "Num6", 102 }, { "Num7", 103 }, { "Num8", 104 }, { "Num9", 105 },
    { "A", 65 }, { "B", 66 }, { "C", 67 }, { "D", 68 }, { "E", 69 }, { "F", 70 }, { "G", 71 },
    { "H", 72 }, { "I", 73 }, { "J", 74 }, { "K", 75 }, { "L", 76 }, { "M", 77 }, { "N", 78 },
    { "O", 79 }, { "P", 80 }, { "Q", 81 }, { "R", 82 }, { "S", 83 }, { "T", 84 }, { "U", 85 },
    { "V", 86 }, { "W", 87 }, { "X", 88 }, { "Y", 89 }, { "Z", 90 },
    { "Page-Up", 33 }, { "Page-Down", 34 }, { "Fin", 35 }, { "Home", 36 },
    { "*", 106 }, { "+", 107 }, { "-", 109 }, { "/", 111 },
} };

const std::array<ModifierEntry, 8> ModifierList { {
    { "Aucun", 0 }, { "ALT", 1 }, { "CTRL", 2 }, { "SHIFT", 4 },
    { "ALT+CTRL", 3 }, { "ALT+SHIFT", 5 }, { "ALT+CTRL+SHIFT", 7 }, { "CTRL+SHIFT", 6 },
} };

bool HasDuplicateHotkey(const HotkeyTable& keyIndex, const HotkeyTable& modifierIndex)
{
    for (int j = 0; j < HotkeyCount; ++j)
        for (int k = 0; k < HotkeyCount; ++k)
            if (j != k && keyIndex[k] != 0 && keyIndex[j] == keyIndex[k] && modifierIndex[j] == modifierIndex[k])
                return true;
    return false;
}

} // namespace kaptivus::dialogs
