// Throwing away the stored configuration: delete the settings key and end the
// program without writing anything back.
#pragma once

class TTray1;

// Asks first; on "&Oui" deletes the key, says so, and quits the agent.
void RunConfigurationReset(TTray1& agent);
