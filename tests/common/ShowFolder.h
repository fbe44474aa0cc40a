// A scratch folder laid out as the show runs in: the show's archive as
// demo.pak and, beside it, the folder of the 3D scenes' textures, both
// linked from where the build wrote them.
#pragma once
#include <string>

// A fresh folder under the temporary folder; empty when it cannot be made.
std::string makeShowFolder(const std::string& tag, const std::string& pak);
// Removes the two links and the folder (the caller removes what it added).
void removeShowFolder(const std::string& folder);
