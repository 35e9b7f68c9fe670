#include "install/work_folder.h"

#include "install/file_operations.h"
#include "install/long_path.h"

namespace hub {

WorkFolder::~WorkFolder() {
    if (!folder_.empty()) {
        removeTree(toLongPath(folder_));
    }
}

} // namespace hub
