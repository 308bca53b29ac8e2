// Application-wide hint behaviour: hints on, 200 ms before the first, 100 ms
// from one hinted control to the next, at most 204 pixels wide.
#pragma once

class QApplication;

void InstallHintBehaviour(QApplication& app);
