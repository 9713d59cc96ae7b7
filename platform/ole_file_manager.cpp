#include "platform/ole_file_manager.h"

#include <gsf/gsf.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>

namespace {

void InitialiseGsf() {
    static const bool initialised = [] {
        gsf_init();
        return true;
    }();
    (void)initialised;
}

// Stream names of one storage compare without case in a compound file.
std::string NameKey(const std::string& name) {
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    return key;
}

}  // namespace

class COleStorage {
public:
    COleStorage(GsfOutput* sink, GsfOutfile* root) : m_pSink(sink), m_pRoot(root) {}
    ~COleStorage() { Close(); }
    COleStorage(const COleStorage&) = delete;
    COleStorage& operator=(const COleStorage&) = delete;

    bool Write(const std::string& name, const void* data, std::uint32_t byteCount) {
        if (!m_pRoot || !m_names.insert(NameKey(name)).second)
            return false;  // the same name twice would give two directory entries of one name
        GsfOutput* stream = gsf_outfile_new_child(m_pRoot, name.c_str(), FALSE);
        if (!stream)
            return false;
        bool ok = byteCount == 0 || gsf_output_write(stream, byteCount, static_cast<const guint8*>(data));
        ok = gsf_output_close(stream) && ok;
        g_object_unref(stream);
        return ok;
    }

    // The root writes the directory, the tables and the small streams into the
    // sink as it closes; the sink then closes the file, which flushes it.
    bool Close() {
        if (!m_pRoot)
            return true;
        bool ok = gsf_output_close(GSF_OUTPUT(m_pRoot));
        g_object_unref(m_pRoot);
        m_pRoot = nullptr;
        ok = (gsf_output_is_closed(m_pSink) || gsf_output_close(m_pSink)) && ok;
        ok = gsf_output_error(m_pSink) == nullptr && ok;
        g_object_unref(m_pSink);
        m_pSink = nullptr;
        return ok;
    }

private:
    GsfOutput* m_pSink;
    GsfOutfile* m_pRoot;
    std::set<std::string> m_names;
};

COleFileManager::COleFileManager() = default;

COleFileManager::~COleFileManager() {
    Close();
}

BOOL COleFileManager::CreateDocfile(const std::string& path) {
    Close();
    if (path.empty())
        return FALSE;
    InitialiseGsf();
    // Opened here rather than by libgsf, which would write beside the file and
    // rename at the end: the file is created at once, as the caller expects.
    // Close-on-exec keeps it out of the office processes started meanwhile.
    FILE* file = std::fopen(path.c_str(), "wbe");
    if (!file)
        return FALSE;
    GsfOutput* sink = gsf_output_stdio_new_FILE(path.c_str(), file, FALSE);
    if (!sink) {
        std::fclose(file);
        return FALSE;
    }
    GsfOutfile* root = gsf_outfile_msole_new(sink);
    if (!root) {
        gsf_output_close(sink);
        g_object_unref(sink);
        return FALSE;
    }
    m_pStorage = std::make_unique<COleStorage>(sink, root);
    m_strPath = path;
    return TRUE;
}

COleStorage* COleFileManager::GetStorage() const {
    return m_pStorage.get();
}

BOOL COleFileManager::WriteStream(COleStorage* storage, const std::string& name, const void* data,
                                  std::uint32_t byteCount) {
    if (!storage || storage != m_pStorage.get() || (!data && byteCount != 0))
        return FALSE;
    return storage->Write(name, data, byteCount) ? TRUE : FALSE;
}

BOOL COleFileManager::Close() {
    if (!m_pStorage)
        return TRUE;
    const bool ok = m_pStorage->Close();
    m_pStorage.reset();
    return ok ? TRUE : FALSE;
}
