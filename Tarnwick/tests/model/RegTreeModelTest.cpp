// Random key trees with random refusals: DeleteRegTree's status, the keys it leaves and the keys it
// opens and deletes must be a plain depth-first reference's, and it touches nothing outside the
// target's subtree.
#include "ModelCase.h"
#include "RegTree.h"

namespace {

using model::Random;
using Names = std::vector<std::string>;

HRESULT FromWin32(LONG error)
{
    return error <= 0 ? (HRESULT)error : (HRESULT)(0x80070000u | ((DWORD)error & 0xFFFF));
}

bool NoCaseLess(const std::string& a, const std::string& b)
{
    return model::UpperAscii(a) < model::UpperAscii(b);
}

// A key of the reference registry, with the errors the machine gives for it (0: none).
struct Key {
    std::string name;
    std::vector<Key> children;  // in enumeration order: sorted case-insensitively
    LONG openError = 0, enumError = 0, deleteError = 0;

    Key* child(const std::string& childName)
    {
        for (Key& key : children)
            if (model::UpperAscii(key.name) == model::UpperAscii(childName))
                return &key;
        return nullptr;
    }
    // The child, added in its place in the enumeration order when it is not there yet.
    Key& add(const std::string& childName)
    {
        if (Key* existing = child(childName))
            return *existing;
        auto place = children.begin();
        while (place != children.end() && NoCaseLess(place->name, childName))
            ++place;
        Key key;
        key.name = childName;
        return *children.insert(place, key);
    }
};

std::string Join(const std::string& parent, const std::string& name)
{
    return parent.empty() ? name : parent + "\\" + name;
}

// Every path below key, parents before children, in enumeration order.
void Flatten(const Key& key, const std::string& path, Names& out)
{
    for (const Key& child : key.children) {
        const std::string childPath = Join(path, child.name);
        out.push_back(childPath);
        Flatten(child, childPath, out);
    }
}

// Gives the machine the reference's keys and refusals.
void Install(const Key& key, const std::string& path)
{
    for (const Key& child : key.children) {
        const std::string childPath = Join(path, child.name);
        fake::addKey(childPath);
        if (child.openError != 0)
            fake::failRegOpen(childPath, child.openError);
        if (child.enumError != 0)
            fake::failRegEnum(childPath, child.enumError);
        if (child.deleteError != 0)
            fake::failRegDelete(childPath, child.deleteError);
        Install(child, childPath);
    }
}

struct Trace {
    Names opens, deletes;
};

// The reference removal of parent's child at index, addressed as path: open it; unless its
// enumeration fails, remove its first child again and again until none is left or one fails;
// then delete it, which the registry refuses while subkeys remain.
HRESULT Remove(Key& parent, size_t index, const std::string& path, Trace& trace)
{
    Key& key = parent.children[index];
    trace.opens.push_back(path);
    if (key.openError != 0)
        return FromWin32(key.openError);
    HRESULT status = S_OK;
    while (key.enumError == 0 && !key.children.empty() && status >= 0) {
        const HRESULT childStatus = Remove(key, 0, path + "\\" + key.children[0].name, trace);
        if (childStatus == FromWin32(ERROR_FILE_NOT_FOUND))
            break;  // a child not found is not this key's absence; the deletion below decides
        status = childStatus;
    }
    if (status < 0)
        return status;
    trace.deletes.push_back(path);
    if (key.deleteError != 0)
        return FromWin32(key.deleteError);
    if (!key.children.empty())
        return FromWin32(ERROR_ACCESS_DENIED);
    parent.children.erase(parent.children.begin() + index);
    return S_OK;
}

const Names kKeyNames = {"InprocServer32", "ToolboxBitmap32", "ProgID", "Version", "1.0", "0", "win32",
                         "Implemented Categories", "{7DD95801-9882-11CF-9FA9-00AA006C42C4}", "MiscStatus"};

std::string RandomKeyName(Random& random)
{
    if (random.percent(50))
        return model::RandomCase(random, random.pick(kKeyNames));
    static const std::string characters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ._-{}";
    std::string name;
    for (int n = random.between(1, 8); n > 0; --n) {
        if (random.percent(10)) {  // a code-page-936 double-byte character
            name += (char)random.between(0x81, 0xFE);
            name += (char)random.between('a', 'z');
        } else {
            name += characters[random.below((uint32_t)characters.size())];
        }
    }
    if (random.percent(1))
        name += std::string(255 - name.size(), 'L');  // the longest key name
    return name;
}

LONG RandomError(Random& random, const std::vector<LONG>& errors, int chance)
{
    return random.percent(chance) ? random.pick(errors) : 0;
}

// Grows a random tree below key: depth levels at most, up to five children each, while budget
// lasts; each key refuses to be opened, enumerated or deleted with the given chance (percent).
void Grow(Random& random, Key& key, int depth, int& budget, int refusals)
{
    if (depth == 0)
        return;
    const int children = random.percent(80) ? random.between(1, 5) : 0;
    for (int i = 0; i < children && budget > 0; ++i) {
        Key& child = key.add(RandomKeyName(random));
        --budget;
        child.openError = RandomError(random, {ERROR_ACCESS_DENIED, ERROR_FILE_NOT_FOUND, 1018, 0x12345}, refusals);
        child.enumError = RandomError(random, {234, ERROR_ACCESS_DENIED, ERROR_NO_MORE_ITEMS, 1018}, refusals);
        child.deleteError = RandomError(random, {ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION, 0x2A0F5}, refusals);
        Grow(random, child, depth - 1, budget, refusals);
    }
}

bool IsWithin(const std::string& path, const std::string& root)
{
    const std::string upperPath = model::UpperAscii(path), upperRoot = model::UpperAscii(root);
    return upperPath == upperRoot || upperPath.compare(0, upperRoot.size() + 1, upperRoot + "\\") == 0;
}

TEST(RegTreeModel, RemovesWhatADepthFirstReferenceRemovesAndNothingOutside)
{
    model::RunCases(1000, [](Random& random) {
        // The target sits below a parent path among siblings named like it; the parent and
        // siblings hold keys too, some of which refuse everything.
        static const Names kParents = {"", "CLSID", "Software\\Classes\\CLSID"};
        static const Names kTargets = {"{B19189A2-B3F5-45b1-AC66-70A71BA5F7AF}", "Merrowind.LiteControl", "Target"};
        const std::string parentPath = random.pick(kParents);
        const std::string targetName = random.percent(75) ? random.pick(kTargets) : RandomKeyName(random);
        // Most trees have a few refusals among their keys, some none, some many.
        static const std::vector<int> kRefusalChances = {0, 1, 1, 2, 5};
        const int refusals = random.pick(kRefusalChances);
        Key root;
        int budget = 60;
        Grow(random, root.add("Other"), 3, budget, 10);
        Key* parent = &root;
        if (!parentPath.empty())
            for (size_t start = 0, end = 0; end != std::string::npos; start = end + 1) {
                end = parentPath.find('\\', start);
                parent = &parent->add(parentPath.substr(start, end - start));
            }
        for (const std::string& sibling : {targetName + ".1", "x" + targetName, targetName.substr(0, targetName.size() - 1)})
            if (!sibling.empty())
                Grow(random, parent->add(sibling), 2, budget, 10);
        for (Key* outside : {parent, &root})
            outside->openError = outside->deleteError = ERROR_ACCESS_DENIED;  // never to be touched

        const bool present = random.percent(92);
        if (present) {
            Key& target = parent->add(targetName);
            target.openError = RandomError(random, {ERROR_ACCESS_DENIED, 0x12345}, refusals);
            target.enumError = RandomError(random, {234, ERROR_ACCESS_DENIED}, refusals);
            target.deleteError = RandomError(random, {ERROR_ACCESS_DENIED, 0x2A0F5}, refusals);
            budget = random.between(0, 300);
            Grow(random, target, random.between(0, 5), budget, refusals);  // the target and up to five levels below
        }
        Install(root, "");
        // The engine is given the path in any case; an empty path must touch nothing.
        const std::string path = random.percent(2) ? "" : model::RandomCase(random, Join(parentPath, targetName));
        SCOPED_TRACE("target " + model::Printable(path) + (present ? "" : " (absent)") + ", refusals " +
                     std::to_string(refusals) + "%");

        Trace trace;
        HRESULT expected;
        if (path.empty()) {
            expected = FromWin32(ERROR_INVALID_PARAMETER);
        } else if (Key* target = parent->child(targetName)) {
            expected = Remove(*parent, target - parent->children.data(), path, trace);
        } else {
            trace.opens.push_back(path);
            expected = FromWin32(ERROR_FILE_NOT_FOUND);
        }
        Names expectedKeys;
        Flatten(root, "", expectedKeys);

        EXPECT_EQ(DeleteRegTree(HKEY_CLASSES_ROOT, path.c_str()), expected);
        EXPECT_EQ(fake::keys(), expectedKeys);
        EXPECT_EQ(fake::callArgs("RegOpenKeyExA"), trace.opens);
        EXPECT_EQ(fake::callArgs("RegDeleteKeyA"), trace.deletes);
        for (const fake::Call& call : fake::calls()) {
            EXPECT_TRUE(IsWithin(call.arg, path)) << call.name << " " << model::Printable(call.arg);
            if (call.name == "RegEnumKeyExA") {
                EXPECT_EQ(call.a, 0u) << "index";
                EXPECT_EQ(call.b, kChildNameCapacity) << "capacity";
            }
        }
    });
}

}  // namespace
