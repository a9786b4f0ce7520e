#include "catalogue/CategoryDatabase.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>

// glib first, so that mdbtools.h's own include of it (inside extern "C") is a no-op.
#include <glib.h>
#include <mdbtools.h>

#include "text/TextOps.h"
#include "text/Utf8.h"

namespace vormla {

namespace {

constexpr size_t kPageSize = 4096;  // Jet 4
constexpr size_t kHeaderSize = 0x98;
constexpr size_t kMaskStart = 0x18;

[[noreturn]] void ThrowFormat(const std::string& path) {
  throw CatalogueError("Unrecognized database format '" + path + "'.");
}

[[noreturn]] void ThrowCannotOpen(const std::string& path) {
  throw CatalogueError("The Microsoft Jet database engine cannot open the file '" + path +
                       "'.  It is already opened exclusively by another user, or you need "
                       "permission to view its data.");
}

[[noreturn]] void ThrowNoTable(const std::string& table) {
  throw CatalogueError("The Microsoft Jet database engine cannot find the input table or query '" + table +
                       "'.  Make sure it exists and that its name is spelled correctly.");
}

[[noreturn]] void ThrowNoColumn() { throw CatalogueError("No value given for one or more required parameters."); }

[[noreturn]] void ThrowTypeMismatch() { throw CatalogueError("Data type mismatch in criteria expression."); }

// The keystream that masks the header: RC4 with the fixed key C7 DA 39 6B.
std::array<unsigned char, 128> HeaderKeystream() {
  std::array<unsigned char, 256> s{};
  for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
  const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  unsigned j = 0;
  for (unsigned i = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  std::array<unsigned char, 128> out{};
  unsigned a = 0;
  unsigned b = 0;
  for (auto& byte : out) {
    a = (a + 1) & 0xFF;
    b = (b + s[a]) & 0xFF;
    std::swap(s[a], s[b]);
    byte = s[(s[a] + s[b]) & 0xFF];
  }
  return out;
}

std::string Utf16LeToUtf8(const unsigned char* p, size_t units) {
  std::string out;
  for (size_t i = 0; i < units; ++i) {
    uint32_t cu = p[2 * i] | (p[2 * i + 1] << 8);
    if (cu >= 0xD800 && cu < 0xDC00 && i + 1 < units) {
      const uint32_t lo = p[2 * i + 2] | (p[2 * i + 3] << 8);
      if (lo >= 0xDC00 && lo < 0xE000) {
        AppendUtf8(out, 0x10000 + ((cu - 0xD800) << 10) + (lo - 0xDC00));
        ++i;
        continue;
      }
    }
    if (cu >= 0xD800 && cu < 0xE000) cu = 0xFFFD;
    AppendUtf8(out, cu);
  }
  return out;
}

bool IsNumericType(int type) {
  switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
      return true;
    default:
      return false;
  }
}

// One column value as a sort key: NULL first, numbers by value, everything else
// in Jet's text order.
struct SortKey {
  bool null = true;
  double number = 0;
  const std::string* text = nullptr;
};

int CompareKeys(const SortKey& a, const SortKey& b) {
  if (a.null || b.null) return (a.null ? 0 : 1) - (b.null ? 0 : 1);
  if (a.text == nullptr) return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
  return CompareJetText(*a.text, *b.text);
}

// All rows of one table, the requested columns only, in stored order.
struct TableData {
  std::vector<int> types;                        // per requested column
  std::vector<std::vector<std::string>> values;  // [row][column], UTF-8
  std::vector<std::vector<bool>> nulls;          // [row][column]
};

struct TableDefCloser {
  void operator()(MdbTableDef* table) const { mdb_free_tabledef(table); }
};

bool EqualsNoCase(const char* a, const char* b) { return g_ascii_strcasecmp(a, b) == 0; }

}  // namespace

// ----------------------------------------------------------------------------

std::string ReadJet4Password(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ThrowCannotOpen(path);
  std::array<unsigned char, kHeaderSize> h{};
  in.read(reinterpret_cast<char*>(h.data()), static_cast<std::streamsize>(h.size()));
  if (static_cast<size_t>(in.gcount()) != h.size()) ThrowFormat(path);
  if (h[0] != 0x00 || std::memcmp(&h[4], "Standard Jet DB", 15) != 0) ThrowFormat(path);
  const unsigned char version = h[0x14];
  if (version > 1) ThrowFormat(path);  // ACCDB: not a Jet 4.0 file

  const auto keystream = HeaderKeystream();
  const size_t masked = version == 1 ? 128 : 126;
  for (size_t k = 0; k < masked; ++k) h[kMaskStart + k] ^= keystream[k];

  if (version == 0) {
    // Jet 3: 20 single-byte characters, no date mask.
    std::string out;
    for (size_t i = 0; i < 20 && h[0x42 + i] != 0; ++i) AppendUtf8(out, h[0x42 + i]);
    return out;
  }

  double date = 0;
  std::memcpy(&date, &h[0x72], sizeof date);
  int32_t n = 0;
  if (std::isfinite(date) && date > -2147483648.0 && date < 2147483648.0) n = static_cast<int32_t>(std::trunc(date));
  const uint32_t un = static_cast<uint32_t>(n);
  const unsigned char mask[4] = {static_cast<unsigned char>(un), static_cast<unsigned char>(un >> 8),
                                 static_cast<unsigned char>(un >> 16), static_cast<unsigned char>(un >> 24)};
  std::array<unsigned char, 40> p{};
  for (size_t i = 0; i < p.size(); ++i) p[i] = h[0x42 + i] ^ mask[i % 4];
  size_t units = 0;
  while (units < 20 && (p[2 * units] != 0 || p[2 * units + 1] != 0)) ++units;
  return Utf16LeToUtf8(p.data(), units);
}

std::vector<CatalogueNode> BuildCategoryNodes(const std::vector<CategoryRow>& rows) {
  std::vector<CatalogueNode> nodes;
  nodes.reserve(rows.size());
  std::string previousKey;
  int currentTop = -1;
  for (const CategoryRow& row : rows) {
    CatalogueNode node;
    node.CaptionUtf8 = " " + row.Name;
    // Appended rather than " " + temporary: GCC 12 at -O3 sees a false overlap there.
    node.Caption.assign(1, ' ');
    node.Caption += Utf8ToSjis(row.Name);
    node.CodeUtf8 = row.Code;
    node.Code = Utf8ToSjis(row.Code);
    // A first row with an empty group key has no group before it: it starts one.
    if (row.Ct2Key != previousKey || currentTop < 0) {
      previousKey = row.Ct2Key;
      currentTop = static_cast<int>(nodes.size());
    } else {
      node.Level = 1;
      node.Parent = currentTop;
    }
    nodes.push_back(std::move(node));
  }
  return nodes;
}

// ----------------------------------------------------------------------------

struct CategoryDatabase::Connection {
  MdbHandle* mdb = nullptr;
  std::string path;

  ~Connection() {
    if (mdb != nullptr) mdb_close(mdb);
  }

  TableData Read(const char* tableName, const std::vector<const char*>& columns);
};

TableData CategoryDatabase::Connection::Read(const char* tableName, const std::vector<const char*>& columns) {
  MdbCatalogEntry* entry = nullptr;
  for (guint i = 0; mdb->catalog != nullptr && i < mdb->catalog->len; ++i) {
    auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (e->object_type == MDB_TABLE && EqualsNoCase(e->object_name, tableName)) {
      entry = e;
      break;
    }
  }
  if (entry == nullptr) ThrowNoTable(tableName);

  std::unique_ptr<MdbTableDef, TableDefCloser> table(mdb_read_table(entry));
  if (!table) ThrowFormat(path);
  if (mdb_read_columns(table.get()) == nullptr || table->columns == nullptr) ThrowFormat(path);

  const size_t columnCount = table->columns->len;
  std::vector<int> slot(columnCount, -1);  // table column -> requested column
  TableData data;
  data.types.assign(columns.size(), 0);
  std::vector<std::vector<char>> buffers(columns.size(), std::vector<char>(mdb->bind_size + 1, '\0'));
  std::vector<int> lengths(columns.size(), 0);
  for (size_t c = 0; c < columns.size(); ++c) {
    bool found = false;
    for (size_t i = 0; i < columnCount; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      if (EqualsNoCase(col->name, columns[c])) {
        slot[i] = static_cast<int>(c);
        data.types[c] = col->col_type;
        if (mdb_bind_column(table.get(), static_cast<int>(i) + 1, buffers[c].data(), &lengths[c]) == -1)
          ThrowFormat(path);
        found = true;
        break;
      }
    }
    if (!found) ThrowNoColumn();
  }

  mdb_rewind_table(table.get());
  std::vector<MdbField> fields(std::max<size_t>(columnCount, MDB_MAX_COLS) + 1);
  while (mdb_fetch_row(table.get())) {
    std::vector<std::string> values(columns.size());
    std::vector<bool> nulls(columns.size(), false);
    for (size_t c = 0; c < columns.size(); ++c) {
      const int len = std::clamp(lengths[c], 0, static_cast<int>(mdb->bind_size));
      values[c].assign(buffers[c].data(), strnlen(buffers[c].data(), static_cast<size_t>(len)));
    }
    // Bound NULL and empty texts both arrive as ""; the cracked row tells them apart.
    int start = 0;
    size_t size = 0;
    if (table->cur_row > 0 && mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &size) == 0 &&
        size <= kPageSize) {
      const int n = mdb_crack_row(table.get(), start, size, fields.data());
      for (int f = 0; f < n && f < static_cast<int>(fields.size()); ++f) {
        const int colnum = fields[f].colnum;
        if (colnum >= 0 && static_cast<size_t>(colnum) < columnCount && slot[colnum] >= 0)
          nulls[slot[colnum]] = fields[f].is_null != 0;
      }
    }
    data.values.push_back(std::move(values));
    data.nulls.push_back(std::move(nulls));
    if (data.values.size() > table->num_rows) ThrowFormat(path);
  }
  // Pages that could not be read end the scan early: a damaged or cut file.
  if (data.values.size() != table->num_rows) ThrowFormat(path);
  return data;
}

CategoryDatabase::CategoryDatabase(std::string path) : path_(std::move(path)) {}

CategoryDatabase::~CategoryDatabase() = default;

bool CategoryDatabase::Locate() {
  struct stat st {};
  dbFound_ = ::stat(path_.c_str(), &st) == 0;
  return dbFound_;
}

CategoryDatabase::Connection& CategoryDatabase::Connect() {
  if (connection_) return *connection_;
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) ThrowCannotOpen(path_);
  char version = 0;
  {
    std::ifstream probe(path_, std::ios::binary);
    if (!probe) ThrowCannotOpen(path_);
    probe.seekg(0x14);
    probe.get(version);
  }
  const std::string password = ReadJet4Password(path_);  // checks the header first
  // A Jet file is a whole number of pages (4096 bytes in Jet 4, 2048 in Jet 3);
  // anything else was cut short.
  const off_t page = version == 1 ? static_cast<off_t>(kPageSize) : static_cast<off_t>(kPageSize / 2);
  if (st.st_size < 2 * page || st.st_size % page != 0) ThrowFormat(path_);
  if (!password.empty() && password != kCataloguePassword) throw CatalogueError("Not a valid password.");

  auto c = std::make_unique<Connection>();
  c->path = path_;
  c->mdb = mdb_open(path_.c_str(), MDB_NOFLAGS);
  if (c->mdb == nullptr) ThrowFormat(path_);
  if (mdb_read_catalog(c->mdb, MDB_TABLE) == nullptr) ThrowFormat(path_);
  connection_ = std::move(c);
  return *connection_;
}

std::vector<TopCategory> CategoryDatabase::LoadTopCategories() {
  Connection& c = Connect();
  TableData t = c.Read("T01_Category1", {"CT1_KEY", "CT1_Name"});
  const bool numeric = IsNumericType(t.types[0]);
  std::vector<SortKey> keys(t.values.size());
  for (size_t r = 0; r < t.values.size(); ++r) {
    const std::string& v = t.values[r][0];
    keys[r].null = t.nulls[r][0] || (numeric && v.empty());
    if (numeric)
      keys[r].number = std::strtod(v.c_str(), nullptr);
    else
      keys[r].text = &v;
  }
  std::vector<size_t> order(t.values.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return CompareKeys(keys[a], keys[b]) < 0; });

  std::vector<TopCategory> out;
  out.reserve(order.size());
  for (size_t r : order) {
    const std::string& name = t.values[r][1];
    out.push_back(TopCategory{Utf8ToSjis(name), name});
  }
  return out;
}

std::vector<CategoryRow> CategoryDatabase::ReadCategoryRows(int topIndex) {
  Connection& c = Connect();
  TableData t = c.Read("T03_Category2", {"CT1_Key", "CT2_Key", "CT3_Key", "CT_Name", "CT_Code"});
  if (!IsNumericType(t.types[0])) ThrowTypeMismatch();
  const bool numeric2 = IsNumericType(t.types[1]);
  const bool numeric3 = IsNumericType(t.types[2]);

  struct Keyed {
    size_t row;
    SortKey k2, k3;
  };
  std::vector<Keyed> picked;
  for (size_t r = 0; r < t.values.size(); ++r) {
    const auto& v = t.values[r];
    if (t.nulls[r][0] || v[0].empty()) continue;
    if (std::strtod(v[0].c_str(), nullptr) != static_cast<double>(topIndex)) continue;
    Keyed k{r, {}, {}};
    k.k2.null = t.nulls[r][1] || (numeric2 && v[1].empty());
    k.k3.null = t.nulls[r][2] || (numeric3 && v[2].empty());
    if (numeric2)
      k.k2.number = std::strtod(v[1].c_str(), nullptr);
    else
      k.k2.text = &v[1];
    if (numeric3)
      k.k3.number = std::strtod(v[2].c_str(), nullptr);
    else
      k.k3.text = &v[2];
    picked.push_back(k);
  }
  // Every picked row has the same CT1_Key, so the order is CT2_Key, CT3_Key.
  std::stable_sort(picked.begin(), picked.end(), [](const Keyed& a, const Keyed& b) {
    const int c2 = CompareKeys(a.k2, b.k2);
    if (c2 != 0) return c2 < 0;
    return CompareKeys(a.k3, b.k3) < 0;
  });

  std::vector<CategoryRow> rows;
  rows.reserve(picked.size());
  for (const Keyed& k : picked) {
    auto& v = t.values[k.row];
    CategoryRow row;
    row.Ct1Key = v[0];
    row.Ct2Key = v[1];
    row.Ct3Key = v[2];
    row.Name = v[3];
    row.Code = v[4];
    row.CodeIsNull = t.nulls[k.row][4];
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<CatalogueNode> CategoryDatabase::LoadCategoryTree(int topIndex) {
  if (topIndex < 0) return {};
  return BuildCategoryNodes(ReadCategoryRows(topIndex));
}

}  // namespace vormla
