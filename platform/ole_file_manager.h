#pragma once
// New compound files ([MS-CFB]) with streams directly below the root storage,
// written through libgsf. A stream is complete when WriteStream returns; the
// directory and allocation tables reach the file when it is closed, so a file
// is readable only after Close has returned TRUE.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/win_types.h"

// A storage of a compound file being written (the root storage here).
class COleStorage;

class COleFileManager {
public:
    COleFileManager();
    virtual ~COleFileManager();
    COleFileManager(const COleFileManager&) = delete;
    COleFileManager& operator=(const COleFileManager&) = delete;

    // Closes whatever is open, then creates `path` (emptying a file that is
    // there) as a new compound file. FALSE when it cannot be created.
    BOOL CreateDocfile(const std::string& path);
    // The root storage while a file is open, else null.
    COleStorage* GetStorage() const;
    // Writes the stream `name` of `byteCount` bytes into `storage`. FALSE when
    // there is no such storage, the name is taken or the bytes cannot be written.
    BOOL WriteStream(COleStorage* storage, const std::string& name, const void* data, std::uint32_t byteCount);
    // Writes the directory and tables and closes the file. FALSE when the file
    // could not be completed; TRUE also when nothing was open.
    BOOL Close();

    std::string m_strPath;  // the file created last

private:
    std::unique_ptr<COleStorage> m_pStorage;
};
