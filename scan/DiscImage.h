#pragma once

#include "scan/ImageReading.h"
#include "scan/ListedFile.h"

#include <QString>

// A disc image file (ISO 9660 with Joliet and Rock Ridge, UDF, the ISO/UDF bridge of video DVDs,
// or a .cue sheet with a Mode 1 data track) read directly, without mounting. The listing comes in
// the order a walk of the mounted disc reports files: depth first, a folder's entries in name
// order (the order ISO 9660 and Joliet directories record them; UDF's own order for UDF), folders
// whose names begin with "." left out unless asked for, as the walk leaves them out.
class DiscImage
{
  public:
    // Whether a drive root names a file (an image) rather than a folder.
    static bool isImage(const QString& root);

    // Reads the image's descriptors and its whole directory tree; with a lister, archives on the
    // image are listed right after their own row. A file that is no image, or a damaged or
    // truncated image, raises an error naming the file and the reason.
    explicit DiscImage(const QString& file, const ImageReading& how = {});

    // UDF's volume identifier when the image has UDF, else the Joliet or primary label.
    const QString& label() const { return label_; }
    const ListedFiles& files() const { return files_; }
    // The folders entered and the archives left unlisted (over a limit, encrypted headers,
    // unreadable).
    const ImageTally& tally() const { return tally_; }
    // Whether the reading was told to stop; the listing is then empty.
    bool stopped() const { return stopped_; }

    enum class Contents { Read, NotRead, Stopped };
    // Reads the bytes of the image's files, each file the caller wants, going on past damage
    // (see ImageContent): Read, Stopped when told to stop, or NotRead for the images whose files'
    // data cannot be read safely (UDF that only libudf reads). Raises the program error naming the
    // image when it cannot be read at all.
    static Contents readContents(const QString& file, const ImageReading& how, const ImageContent& content);

    // Only the label, without reading the tree; empty when the image has none or is no image.
    static QString readLabel(const QString& file);

  private:
    QString label_;
    ListedFiles files_;
    ImageTally tally_;
    bool stopped_ = false;
};
