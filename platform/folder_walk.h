// The folder a file that vantrel-report writes goes into, reached one name at
// a time, so that no link another user could change decides where root
// writes: on Debian, /var/lib/prometheus belongs to the prometheus user, who
// could make node-exporter a link to any folder.
#pragma once

#include <string>

// Opens (O_PATH) the folder that holds path's last name and sets *name to
// that name ("." when path ends in a slash); a relative path starts from the
// working folder. A symbolic link on the way is followed only where both it
// and the folder holding it belong to root or to this process's user, and no
// one else may write that folder: /var/run -> /run is followed, a link in a
// folder of the prometheus user is not, when root runs. At most 40 links are
// followed. -1 on failure, with *problem the message after "path: ".
int OpenFolderOf(const std::string& path, std::string* name, std::string* problem);
