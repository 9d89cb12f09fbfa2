// Reading a picture file for the raster route: pictures up to the pipeline's own bound are
// read whole, larger ones scaled while they are decoded where the format allows it, and a
// picture that cannot be read is refused with the reason.
#include "recognitionsteps.h"

#include <QImageReader>
#include <QMutex>
#include <QMutexLocker>

#include <cmath>

namespace {

// Raises the reader's allocation limit to what the pipeline's bound needs while it lives;
// the toolkit's default refuses pictures of about 5,800 x 5,800 pixels and more. The limit is
// one for the whole process and pictures may be read on workers: one scope at a time, so
// two reads cannot put the limits back in the wrong order and leave it raised.
QMutex allocationLimitMutex;

class AllocationLimitScope
{
public:
    explicit AllocationLimitScope(int megabytes)
        : m_lock(&allocationLimitMutex)
        , m_previous(QImageReader::allocationLimit())
    {
        if (m_previous != 0 && m_previous < megabytes)
            QImageReader::setAllocationLimit(megabytes);
    }
    ~AllocationLimitScope() { QImageReader::setAllocationLimit(m_previous); }
    AllocationLimitScope(const AllocationLimitScope &) = delete;
    AllocationLimitScope &operator=(const AllocationLimitScope &) = delete;

private:
    QMutexLocker<QMutex> m_lock;
    int m_previous;
};

// Eight bytes a pixel: a decoded picture may take 64-bit colour before it is converted.
constexpr int LimitMegabytes = int(MaxPicturePixels * 8 / (1024 * 1024));

QSize fittedWithin(const QSize &size, qint64 pixels)
{
    const double factor = std::sqrt(double(pixels) / (double(size.width()) * double(size.height())));
    return QSize(std::max(1, int(size.width() * factor)), std::max(1, int(size.height() * factor)));
}

} // namespace

QImage loadPicture(const QString &path, QString *error)
{
    const auto fail = [error](const QString &reason) {
        if (error)
            *error = QStringLiteral("Could not load the image: %1.").arg(reason);
        return QImage();
    };
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        if (reader.error() == QImageReader::FileNotFoundError || reader.error() == QImageReader::DeviceError)
            return fail(QStringLiteral("the file cannot be opened"));
        return fail(QStringLiteral("the file is not a picture in a known format"));
    }
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > MaxPicturePixels) {
        if (!reader.supportsOption(QImageIOHandler::ScaledSize)) {
            return fail(QStringLiteral("it is too large (%1 x %2 pixels; at most %3 million pixels can be read)")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(MaxPicturePixels / 1000000));
        }
        reader.setScaledSize(fittedWithin(size, MaxPicturePixels));
    }
    const AllocationLimitScope limit(LimitMegabytes);
    QImage picture = reader.read();
    if (picture.isNull())
        return fail(QStringLiteral("its picture data is damaged or incomplete"));
    return picture;
}
