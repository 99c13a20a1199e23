#include "ui/SkinPictures.h"

#include <algorithm>

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QImageReader>

namespace ui
{

namespace
{

// A file is known by its path, its size and its time of change: a picture that has been replaced
// is decoded anew.
QString CacheKey(const QFileInfo& file, QSize bound)
{
    return QStringLiteral("%1|%2|%3|%4x%5")
        .arg(file.absoluteFilePath())
        .arg(file.size())
        .arg(file.lastModified().toMSecsSinceEpoch())
        .arg(bound.width())
        .arg(bound.height());
}

QHash<QString, QPixmap>& Cache()
{
    static QHash<QString, QPixmap> pictures;
    return pictures;
}

bool Exceeds(QSize size, QSize bound)
{
    return size.width() > bound.width() || size.height() > bound.height();
}

QSize FittedSize(QSize size, QSize bound)
{
    const QSize fitted = size.scaled(bound, Qt::KeepAspectRatio);
    return QSize(std::max(fitted.width(), 1), std::max(fitted.height(), 1));
}

QPixmap Decode(const QString& path, QSize bound)
{
    QImageReader reader(path);
    // Scaled while it is decoded where the format allows it, so that the full picture is never held.
    if (const QSize stated = reader.size(); stated.isValid() && Exceeds(stated, bound))
        reader.setScaledSize(FittedSize(stated, bound));
    QImage image = reader.read();
    if (image.isNull())
        return QPixmap();
    if (Exceeds(image.size(), bound))
        image =
            image.scaled(FittedSize(image.size(), bound), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return QPixmap::fromImage(image);
}

} // namespace

QPixmap LoadSkinPicture(const QString& path, QSize bound)
{
    if (path.isEmpty())
        return QPixmap();
    const QFileInfo file(path);
    if (!file.isFile())
        return QPixmap();
    const QString key = CacheKey(file, bound);
    auto& cache = Cache();
    if (const auto known = cache.constFind(key); known != cache.constEnd())
        return *known;
    // A file that cannot be read is remembered as such too: it is not decoded again either.
    const QPixmap picture = Decode(path, bound);
    cache.insert(key, picture);
    return picture;
}

} // namespace ui
