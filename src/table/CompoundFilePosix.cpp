// Compound files through libgsf (Linux).
#include "table/CompoundFile.h"

// Qt's "signals" keyword would clash with a member of that name in GLib's headers.
#pragma push_macro("signals")
#undef signals
#include <gsf/gsf.h>
#pragma pop_macro("signals")

#include <mutex>

#if defined(__SANITIZE_ADDRESS__)
#define BRANVIK_LEAK_CHECKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BRANVIK_LEAK_CHECKS 1
#endif
#endif
#ifdef BRANVIK_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

namespace {

template <typename T> struct GObjectPtr
{
    T *p = nullptr;
    GObjectPtr() = default;
    GObjectPtr(const GObjectPtr &) = delete;
    GObjectPtr &operator=(const GObjectPtr &) = delete;
    ~GObjectPtr()
    {
        if (p)
            g_object_unref(p);
    }
};

} // namespace

struct CompoundFile::Private
{
    GObjectPtr<GsfInput> input;
    GObjectPtr<GsfInfile> infile;

    // The child of that name, a new reference; null when there is none.
    GsfInput *child(const QString &name) const
    {
        const int count = gsf_infile_num_children(infile.p);
        for (int i = 0; i < count; ++i)
            if (const char *childName = gsf_infile_name_by_index(infile.p, i);
                childName && QString::fromUtf8(childName) == name)
                return gsf_infile_child_by_index(infile.p, i);
        return nullptr;
    }
};

CompoundFile::CompoundFile(QByteArrayView bytes) : d(std::make_unique<Private>())
{
    static std::once_flag initialised;
    std::call_once(initialised, [] {
        gsf_init();
        // A broken compound file makes libgsf log its own complaints; the caller reports it.
        g_log_set_handler(
            "libgsf:msole", GLogLevelFlags(G_LOG_LEVEL_MASK),
            [](const gchar *, GLogLevelFlags, const gchar *, gpointer) {}, nullptr);
    });
    d->input.p =
        gsf_input_memory_new(reinterpret_cast<const guint8 *>(bytes.data()), bytes.size(), FALSE);
    GError *gerror = nullptr;
#ifdef BRANVIK_LEAK_CHECKS
    // libgsf 1.14.50 loses a directory entry of some broken compound files inside this call,
    // where no caller can free it; sanitizer builds are told not to report it.
    __lsan_disable();
#endif
    d->infile.p = gsf_infile_msole_new(d->input.p, &gerror);
#ifdef BRANVIK_LEAK_CHECKS
    __lsan_enable();
#endif
    if (gerror)
        g_error_free(gerror);
}

CompoundFile::~CompoundFile() = default;

bool CompoundFile::isOpen() const
{
    return d->infile.p != nullptr;
}

QStringList CompoundFile::entries() const
{
    QStringList names;
    if (!isOpen())
        return names;
    const int count = gsf_infile_num_children(d->infile.p);
    for (int i = 0; i < count; ++i)
        if (const char *name = gsf_infile_name_by_index(d->infile.p, i))
            names.append(QString::fromUtf8(name));
    return names;
}

qint64 CompoundFile::streamSize(const QString &name) const
{
    if (!isOpen())
        return -1;
    GObjectPtr<GsfInput> child;
    child.p = d->child(name);
    if (!child.p ||
        (GSF_IS_INFILE(child.p) && gsf_infile_num_children(GSF_INFILE(child.p)) >= 0)) // a storage
        return -1;
    return qint64(gsf_input_size(child.p));
}

bool CompoundFile::readStream(const QString &name, QByteArray *bytes) const
{
    if (!isOpen())
        return false;
    GObjectPtr<GsfInput> child;
    child.p = d->child(name);
    if (!child.p)
        return false;
    const gsf_off_t size = gsf_input_size(child.p);
    if (size < 0)
        return false;
    bytes->resize(qsizetype(size));
    return size == 0 ||
           gsf_input_read(child.p, size, reinterpret_cast<guint8 *>(bytes->data())) != nullptr;
}
