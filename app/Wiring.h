// Connects the long-lived windows to each other and to the platform services
// once all of them exist.
#pragma once

class TTray1;
class TMain1;
class TInfo1;

void WireWindows(TTray1& tray, TMain1& main1, TInfo1& info1);
