// The category catalogue: the read-only Jet 4 database vm_data.db that ships with
// the program, read with libmdb.
//
// T01_Category1 gives the top-level categories (the window's choices) in CT1_KEY
// order; T03_Category2 gives, for the top-level item i, the rows with CT1_Key = i
// in (CT1_Key, CT2_Key, CT3_Key) order, which become a two-level tree: the first
// row of every run of equal CT2_Key is a top-level node, the rest are its
// children. libmdb has no ORDER BY, so the rows are sorted here, with Jet's own
// order for each column type.
//
// Errors of the database layer (damaged file, missing table or column, wrong
// database password) are thrown as CatalogueError carrying the database
// engine's own words; the window shows them in the standard error box.
// No Qt in here: the window binds these values to its widgets.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace vormla {

// An error raised by the database layer. what() is the engine's message, UTF-8
// (all messages are plain ASCII apart from a file path that may be UTF-8).
//
// Messages:
//   "Not a valid password."                        the file's database password is not ours
//   "Unrecognized database format '<path>'."       not a Jet 4 file, truncated or damaged
//   "The Microsoft Jet database engine cannot open the file '<path>'.  It is already
//    opened exclusively by another user, or you need permission to view its data."
//                                                  the file cannot be opened for reading
//   "The Microsoft Jet database engine cannot find the input table or query '<name>'.
//    Make sure it exists and that its name is spelled correctly."
//                                                  a table is missing
//   "No value given for one or more required parameters."
//                                                  a column is missing (Jet takes an
//                                                  unknown name for a parameter)
//   "Data type mismatch in criteria expression."   T03_Category2.CT1_Key is not a number
class CatalogueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The database password the program opens the catalogue with.
inline constexpr const char* kCataloguePassword = "zq7302";

// One top-level category (one choice of the window's top category).
struct TopCategory {
  std::string Name;      // CT1_Name, Shift-JIS (the item text the engine gets)
  std::string NameUtf8;  // CT1_Name, UTF-8, for display
};

// One node of the category tree's flat list (each top-level node followed by its
// children; the position in the list is the node index).
struct CatalogueNode {
  std::string Caption;      // " " + CT_Name, Shift-JIS
  std::string Code;         // CT_Code as stored, Shift-JIS; NULL reads as ""
  std::string CaptionUtf8;  // " " + CT_Name, UTF-8, for display
  std::string CodeUtf8;     // CT_Code, UTF-8
  int Level = 0;            // 0 top-level node, 1 child
  int Parent = -1;          // index of the parent node, -1 for a top-level node
};

// One row of T03_Category2 as the sorted statement returns it (UTF-8 texts; the
// numbers in decimal as libmdb renders them).
struct CategoryRow {
  std::string Ct1Key;
  std::string Ct2Key;
  std::string Ct3Key;
  std::string Name;
  std::string Code;
  bool CodeIsNull = false;  // NULL rather than the empty text
};

// Builds the tree's flat node list from rows already in statement order.
std::vector<CatalogueNode> BuildCategoryNodes(const std::vector<CategoryRow>& rows);

// Reads the Jet 4 database password from the first bytes of a file (the masked
// header of page 0). Returns "" when the file has no password; throws
// CatalogueError("Unrecognized database format ...") when the header is not a
// Jet 4 header. The password comes back as UTF-8.
std::string ReadJet4Password(const std::string& path);

// Jet's order of two Text values under the "General" sort order (the catalogue's
// LCID 1033, version 0): < 0, 0 or > 0. Both are UTF-8.
int CompareJetText(const std::string& a, const std::string& b);

// The catalogue. Construct with the path of the database file (the program's own
// is ProgramPaths().Catalogue, AppPaths.h). The connection is opened by the first
// query (that is where a wrong password or a damaged file shows) and stays open
// until the object is destroyed. Not thread-safe; the window uses it on its GUI
// thread only.
class CategoryDatabase {
 public:
  explicit CategoryDatabase(std::string path);
  ~CategoryDatabase();
  CategoryDatabase(const CategoryDatabase&) = delete;
  CategoryDatabase& operator=(const CategoryDatabase&) = delete;

  const std::string& Path() const { return path_; }

  // The first steps of OpenCatalogue: sets DbFound to whether a file exists at the
  // path and returns it. Opens nothing and throws nothing.
  bool Locate();
  // True once Locate() found the file.
  bool DbFound() const { return dbFound_; }

  // "SELECT CT1_Name FROM T01_Category1 ORDER BY CT1_KEY". Throws CatalogueError.
  std::vector<TopCategory> LoadTopCategories();

  // The rows of "SELECT CT1_Key, CT2_Key, CT3_Key, CT_Name, CT_Code FROM
  // T03_Category2 WHERE CT1_Key = <topIndex> ORDER BY CT1_Key, CT2_Key, CT3_Key".
  // Throws CatalogueError.
  std::vector<CategoryRow> ReadCategoryRows(int topIndex);

  // The tree for the top-level item topIndex; an index of -1 (no selection) gives
  // an empty tree without touching the database. Throws CatalogueError; then no
  // node is returned.
  std::vector<CatalogueNode> LoadCategoryTree(int topIndex);

 private:
  struct Connection;
  Connection& Connect();

  std::string path_;
  bool dbFound_ = false;
  std::unique_ptr<Connection> connection_;
};

}  // namespace vormla
