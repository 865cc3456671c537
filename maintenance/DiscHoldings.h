#pragma once

#include <QString>
#include <set>
#include <vector>

// What a catalogued disc's rows show that its run read beside plain files: members of archives
// and folders whose names begin with ".". A later run over the same medium (verify, update)
// reads them too, whatever the settings say now, or those rows would all seem gone.
struct DiscHoldings {
    bool archiveMembers = false;
    bool dotFolders = false;

    // `folders`: every folder of the disc's rows ("\docs\"); `files`: the full names of its files
    // ("\backup\photos.zip"), only those named like archives are looked at.
    static DiscHoldings of(const std::set<QString>& folders, const std::vector<QString>& files);
};
