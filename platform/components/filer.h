// Loading and saving components through stored descriptions (description.h gives the text). TReader
// is implemented in filer_reader.cpp, TWriter in filer_writer.cpp.
//
//   LoadDescription(text, *form);          // reads a description into an existing root
//   auto form = CreateFromDescription(text);  // creates the root from its registered class first
//   std::string text = SaveDescription(*form);
//
// Loading a description into a root:
//  1. The whole text is parsed first, and every class it names must be registered (RegisterClass);
//     malformed text or an unknown class fails before anything is touched.
//  2. The root gets csLoading and csReading. When it has no name yet it takes the stored name (made
//     unique among the loaded roots: "Form1", then "Form1_1", ...); a root that already has a name
//     keeps it. Either way TReader::StoredRootName() gives the stored one, and references qualified
//     with the stored name ("Form1.amp1") mean the root that is being loaded.
//  3. The root's properties are applied, then each nested object in description order: the component
//     is created with the root as its owner, marked csLoading and csReading, AfterConstruction runs,
//     it is named, SetParentComponent gets the object it is nested in, and its properties are applied.
//  4. References to components (an identifier stored in a component-valued property) are resolved by
//     name once every component exists.
//  5. csReading is cleared and Loaded runs on the root and then on each created component, in creation
//     order (the base Loaded clears csLoading).
// Any failure destroys the components the load created, takes csLoading and csReading off the root,
// gives it back its former name and raises the error. Errors of the description (malformed text, an
// unknown class, property, method or component, a value of the wrong kind, a setter that refuses the
// value) are EDescriptionError, an EReadError whose message starts with the line and column.
//
// Applying a property "A.B.C = value": A and B are object-valued published properties leading to
// persistent sub-objects (never into other components); C is a published property of the last one or
// a value it declares in DefineProperties. Component-valued properties take the name of a component
// (or nil); collection-valued ones take "< item ... end >" (the collection is cleared first); events
// take the name of a published method of the root.
//
// Saving writes, for the root and recursively for the children that GetChildren lists, every
// published property that is stored, writable and not at its default (see TPropInfo::IsDefaultValue),
// descending into persistent sub-objects with dotted names and writing collections in full, then the
// values the object declares with DefineProperties. Events are written when they were bound to a
// method of the root by name; component references by name.
//
// DefineProperty is also how a class reads keys it no longer writes: declare the old key with a
// reader and no writer (or HasData false).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/components/collection.h"
#include "platform/components/component.h"
#include "platform/components/description.h"

namespace sib {

class TReader;
class TWriter;

using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;
using TBinaryReadProc = std::function<void(const std::vector<std::uint8_t>&)>;
using TBinaryWriteProc = std::function<std::vector<std::uint8_t>()>;

// What DefineProperties sees: a reader or a writer, and the root of the description.
class TFiler {
 public:
  explicit TFiler(TComponent& root) : root_(&root) {}
  TFiler(const TFiler&) = delete;
  TFiler& operator=(const TFiler&) = delete;
  virtual ~TFiler() = default;

  TComponent* Root() const { return root_; }

  // Declares an extra stored value named `Name` of the object whose DefineProperties is running
  // (stored as "<path of the object>.<Name>"). While reading, `ReadData` reads the value when the
  // description holds it; it must read exactly one value. While writing, `WriteData` writes exactly
  // one value when `HasData` is true.
  virtual void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                              bool HasData) = 0;
  // The same for a value of binary data.
  virtual void DefineBinaryProperty(const std::string& Name, const TBinaryReadProc& ReadData,
                                    const TBinaryWriteProc& WriteData, bool HasData) = 0;

 private:
  TComponent* root_;
};

// Reads values during a load. The value operations work on the value of the key being read
// (PropName): a single value, or a list that ReadListBegin opens. Reading a value of another kind,
// or past the end of a list, raises EDescriptionError at the value's place.
class TReader final : public TFiler {
 public:
  TValueType NextValue() const;
  bool EndOfList() const;
  void ReadListBegin();
  void ReadListEnd();
  std::string ReadIdent();
  std::string ReadString();
  std::int32_t ReadInteger();
  std::int64_t ReadInt64();
  // Integers are accepted as floats; INF and NAN give the special values.
  double ReadFloat();
  bool ReadBoolean();
  std::vector<std::uint8_t> ReadBinary();
  void SkipValue();

  // The key being read, without the path of its object.
  const std::string& PropName() const { return propName_; }
  // The root's name as the description stores it.
  const std::string& StoredRootName() const { return storedRootName_; }
  // Raises EDescriptionError at the place of the next value (or of the list being read).
  [[noreturn]] void Error(const std::string& message) const;

  void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, const TBinaryReadProc& ReadData,
                            const TBinaryWriteProc& WriteData, bool HasData) override;

 private:
  friend void LoadDescription(std::string_view text, TComponent& root);
  friend TComponentPtr<> CreateFromDescription(std::string_view text);

  struct Frame {
    const TValueNode* values;
    std::size_t count;
    std::size_t index;
    TTextPos pos;
  };
  struct Fixup {
    TObject* instance;
    const TPropInfo* prop;
    std::string name;
    TTextPos pos;
  };

  TReader(TComponent& root, std::string storedRootName);

  void Load(const TObjectNode& tree);
  void ReadBody(TComponent& instance, const TObjectNode& node);
  void ReadChild(TComponent& parent, const TObjectNode& node);
  void ApplyProperty(TObject& instance, const TPropertyNode& property);
  void ApplyValue(TObject& instance, const TPropInfo& prop, const TValueNode& value);
  void ReadCollection(TCollection& collection, const TValueNode& value);
  void ReadDefined(TPersistent& instance, const std::string& name, const TPropertyNode& property);
  void ResolveFixups();
  TComponent* FindReference(std::string_view name) const;
  void Rollback(const std::string& oldRootName, bool registeredRoot) noexcept;

  const TValueNode& Current(TValueType expected) const;
  const TValueNode& Take(TValueType expected);
  void BeginValue(const TValueNode& value);
  bool ValueConsumed() const;

  std::string storedRootName_;
  std::string propName_;
  bool propHandled_ = false;
  std::vector<Frame> frames_;
  std::vector<TComponent*> loaded_;
  std::vector<Fixup> fixups_;
};

// Builds values during a save. The value operations write the value of the key being written.
// Writing a value outside a DefineProperty writer, closing a list that is not open, or leaving a
// writer with other than one complete value raises EInvalidOperation.
class TWriter final : public TFiler {
 public:
  void WriteListBegin();
  void WriteListEnd();
  void WriteIdent(std::string_view Ident);
  void WriteString(std::string_view Value);
  void WriteInteger(std::int64_t Value);
  void WriteFloat(double Value);
  // A float of single precision, written with the digits that single precision needs.
  void WriteSingle(float Value);
  void WriteBoolean(bool Value);
  void WriteBinary(std::span<const std::uint8_t> Bytes);

  void DefineProperty(const std::string& Name, const TReaderProc& ReadData, const TWriterProc& WriteData,
                      bool HasData) override;
  void DefineBinaryProperty(const std::string& Name, const TBinaryReadProc& ReadData,
                            const TBinaryWriteProc& WriteData, bool HasData) override;

 private:
  friend std::string SaveDescription(TComponent& root);

  explicit TWriter(TComponent& root) : TFiler(root) {}

  TObjectNode WriteComponent(TComponent& component);
  void WriteProperties(TObject& instance, const std::string& prefix, std::vector<TPropertyNode>& out);
  bool WriteProperty(TObject& instance, const TPropInfo& prop, const std::string& prefix,
                     std::vector<TPropertyNode>& out);
  TValueNode CollectionValue(TCollection& collection);
  std::string ReferenceName(TComponent& component) const;
  void Add(TValueNode value);

  std::string prefix_;
  std::vector<TPropertyNode>* out_ = nullptr;
  std::vector<TValueNode> top_;
  std::vector<TValueNode*> open_;
  std::vector<TObject*> visiting_;
  bool inWriteData_ = false;
};

// See the top of this file.
void LoadDescription(std::string_view text, TComponent& root);
TComponentPtr<> CreateFromDescription(std::string_view text);
std::string SaveDescription(TComponent& root);

}  // namespace sib
