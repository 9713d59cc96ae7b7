#include "support/libzip_reader.h"

#include <zip.h>

ZipContents ReadWithLibzip(const std::string& path) {
    ZipContents contents;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) {
        zip_error_t e;
        zip_error_init_with_code(&e, error);
        contents.error = std::string("open: ") + zip_error_strerror(&e);
        zip_error_fini(&e);
        return contents;
    }
    contents.ok = true;
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count && contents.ok; ++i) {
        zip_stat_t st;
        zip_file_t* file = nullptr;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st) != 0 ||
            !(file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0))) {
            contents.ok = false;
            contents.error = std::string("entry ") + std::to_string(i) + ": " + zip_strerror(archive);
            break;
        }
        std::string data(st.size, '\0');
        zip_int64_t n = st.size ? zip_fread(file, data.data(), st.size) : 0;
        char probe;
        // Reading on to the end makes libzip check the CRC.
        zip_int64_t tail = zip_fread(file, &probe, 1);
        if (n != static_cast<zip_int64_t>(st.size) || tail != 0) {
            contents.ok = false;
            contents.error = std::string(st.name) + ": " + zip_file_strerror(file);
        }
        zip_fclose(file);
        contents.entries[st.name] = std::move(data);
    }
    zip_close(archive);
    return contents;
}
