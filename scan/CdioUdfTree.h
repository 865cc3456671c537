#pragma once

#include "scan/ImageReading.h"
#include "scan/ListedFile.h"

#include <QString>
#include <memory>

// A UDF file system read through libcdio's libudf, the fallback up to UDF 1.50 for images
// libudfread refuses. libudf reads plain file entries only, so nothing from UDF 2.00 on. Its
// files cannot be read as a stream here, so archives on such an image are counted as not listed.
class CdioUdfTree
{
  public:
    // Opens the file system in the image file; null when libudf cannot read it.
    static std::unique_ptr<CdioUdfTree> open(const QString& image);
    // Keeps libcdio from ending the process when it logs an error; open() does it first.
    static void quietenLibrary();
    ~CdioUdfTree();
    CdioUdfTree(const CdioUdfTree&) = delete;
    CdioUdfTree& operator=(const CdioUdfTree&) = delete;

    // Appends the files depth first in directory order. Returns false when told to stop.
    bool read(ListedFiles& out, const ImageReading& how, ImageTally& tally);

  private:
    CdioUdfTree(const QString& image, struct udf_s* udf, struct udf_dirent_s* root);

    QString image_;
    struct udf_s* udf_;
    struct udf_dirent_s* root_;
};
