#pragma once

class Connection;
class Query;

// What the maintenance dialogs need of the main window: its catalogue connection, its work
// query for every statement, and the refresh of its filter lists after a change.
class ICatalogueHost
{
  public:
    virtual ~ICatalogueHost() = default;
    virtual Connection& connection() = 0;
    virtual Query& workQuery() = 0;
    virtual void RefreshFilters() = 0;
};
