#pragma once
// The web page's access settings of a project, kept by the host beside the project file and never
// in the plug-in's files: "show.tarvex.web" beside "show.tarvex", readable by its owner only.
//
//   {"pin": "483920", "readingOpen": false, "listen": "0.0.0.0:8080"}
//
// "listen" (optional) serves the page there whenever the project is opened without --web.
// The PIN is made at first use: six digits from the system's random source. To change it, edit
// the file or remove it (a new one is made at the next start), or renew it from the host. A file
// that cannot be read as such is left as it is and named in the error.
//
//   WebAccess access = loadOrMakeWebAccess("/shows/club/club.tarvex");   // throws with a text

#include "host/web/WebGate.h"

#include <optional>
#include <string>

namespace tarvex::host {

std::string webAccessPath(const std::string &projectPath);
WebAccess loadOrMakeWebAccess(const std::string &projectPath);
// Writes the settings with a new PIN (the rest kept); the settings as written.
WebAccess renewWebPin(const std::string &projectPath);
// The settings when the file is there; nothing when it is not (and none is made).
std::optional<WebAccess> readWebAccess(const std::string &projectPath);

} // namespace tarvex::host
