#include "vtsupport/net/TCPAddress.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "vtsupport/platform/HostLookup.h"

#include "support/NetTestPeer.h"

namespace {

using vttest::thrownText;

// An address in network byte order from its four bytes, as they appear on the wire.
std::uint32_t ipv4(unsigned a, unsigned b, unsigned c, unsigned d) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                    static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
    std::uint32_t address;
    std::memcpy(&address, bytes, sizeof address);
    return address;
}

std::vector<unsigned> recordBytes(TCPAddress& address) {
    const auto* record = reinterpret_cast<const unsigned char*>(address.getSockAddr());
    return std::vector<unsigned>(record, record + 16);
}

// The record the OS expects: family 2 (little-endian on x86), port big-endian,
// address bytes as given, eight zero bytes.
std::vector<unsigned> expectedRecord(unsigned portHigh, unsigned portLow,
                                     std::vector<unsigned> addressBytes) {
    std::vector<unsigned> record = {2, 0, portHigh, portLow};
    record.insert(record.end(), addressBytes.begin(), addressBytes.end());
    record.resize(16, 0);
    return record;
}

const char* const invalidAddressMessage = "Error: Cannot process IP address: 255.255.255.255";

TEST(TCPAddressTest, DefaultIsTheAnyAddressWithPortZero) {
    TCPAddress address;
    EXPECT_EQ("0.0.0.0", address.getIPString());
    EXPECT_EQ(0UL, address.getIP());
    EXPECT_EQ(0, address.getPort());
    EXPECT_EQ(expectedRecord(0, 0, {0, 0, 0, 0}), recordBytes(address));
}

TEST(TCPAddressTest, TextAndNumberConstructorsFillTheRecord) {
    TCPAddress text("10.0.0.1", 8080);
    EXPECT_EQ(ipv4(10, 0, 0, 1), text.getIP());
    EXPECT_EQ("10.0.0.1", text.getIPString());
    EXPECT_EQ(8080, text.getPort());
    EXPECT_EQ(expectedRecord(0x1F, 0x90, {10, 0, 0, 1}), recordBytes(text));

    TCPAddress number(ipv4(192, 168, 1, 20), 443);
    EXPECT_EQ("192.168.1.20", number.getIPString());
    EXPECT_EQ(expectedRecord(0x01, 0xBB, {192, 168, 1, 20}), recordBytes(number));
}

TEST(TCPAddressTest, PortIsCutToSixteenBitsOnlyInTheRecord) {
    TCPAddress wide("10.0.0.1", 70000); // 70000 - 65536 = 4464 = 0x1170
    EXPECT_EQ(70000, wide.getPort());
    EXPECT_EQ(expectedRecord(0x11, 0x70, {10, 0, 0, 1}), recordBytes(wide));

    TCPAddress negative(ipv4(127, 0, 0, 1), -1);
    EXPECT_EQ(-1, negative.getPort());
    EXPECT_EQ(expectedRecord(0xFF, 0xFF, {127, 0, 0, 1}), recordBytes(negative));
}

TEST(TCPAddressTest, AllOnesAndNonAddressTextAreRejected) {
    for (const char* text : {"255.255.255.255", "localhost", "example.com", "1.2.3.4.5", "a.b.c.d"})
        EXPECT_EQ(invalidAddressMessage, thrownText([&] { TCPAddress(std::string(text), 80); }))
            << text;
    EXPECT_EQ(invalidAddressMessage, thrownText([] { TCPAddress(0xFFFFFFFFUL, 80); }));
    // One below all ones is an ordinary address.
    EXPECT_EQ("255.255.255.254", TCPAddress("255.255.255.254", 1).getIPString());
}

TEST(TCPAddressTest, CopiesAndAssignmentsCarryEveryField) {
    TCPAddress original("172.16.5.4", 70000);
    TCPAddress copy(original);
    EXPECT_EQ(original.getIP(), copy.getIP());
    EXPECT_EQ(70000, copy.getPort());
    EXPECT_EQ(recordBytes(original), recordBytes(copy));
    EXPECT_NE(static_cast<void*>(original.getSockAddr()), static_cast<void*>(copy.getSockAddr()));

    TCPAddress assigned;
    TCPAddress& result = (assigned = original);
    EXPECT_EQ(&assigned, &result);
    EXPECT_EQ("172.16.5.4", assigned.getIPString());
    EXPECT_EQ(recordBytes(original), recordBytes(assigned));

    TCPAddress& self = (assigned = assigned);
    EXPECT_EQ(&assigned, &self);
    EXPECT_EQ("172.16.5.4", assigned.getIPString());
    EXPECT_EQ(70000, assigned.getPort());
    EXPECT_EQ(recordBytes(original), recordBytes(assigned));
}

// Answers from tables and records every question it is asked.
class CountingLookup : public IHostLookup {
public:
    bool byName(const std::string& name, std::uint32_t& firstAddress) override {
        names.push_back(name);
        return answer(forward, name, firstAddress);
    }
    bool byAddress(std::uint32_t address, std::uint32_t& firstAddress) override {
        addresses.push_back(address);
        return answer(reverse, address, firstAddress);
    }

    std::map<std::string, std::uint32_t> forward;
    std::map<std::uint32_t, std::uint32_t> reverse;
    std::vector<std::string> names;
    std::vector<std::uint32_t> addresses;

private:
    template <typename Key>
    static bool answer(const std::map<Key, std::uint32_t>& table, const Key& key,
                       std::uint32_t& firstAddress) {
        const auto found = table.find(key);
        if (found == table.end())
            return false;
        firstAddress = found->second;
        return true;
    }
};

class ResolveTest : public ::testing::Test {
protected:
    void SetUp() override { setHostLookup(&lookup); }
    void TearDown() override { setHostLookup(nullptr); }
    CountingLookup lookup;
};

TEST_F(ResolveTest, EachTextIsLookedUpOnceAndAnsweredWithPortZero) {
    lookup.forward["alpha"] = ipv4(10, 1, 2, 3);
    const TCPAddress first = TCPAddress::resolve("alpha");
    lookup.forward["alpha"] = ipv4(10, 9, 9, 9); // a later change must not be seen
    const TCPAddress second = TCPAddress::resolve("alpha");
    EXPECT_EQ(std::vector<std::string>{"alpha"}, lookup.names);
    EXPECT_TRUE(lookup.addresses.empty());
    EXPECT_EQ("10.1.2.3", first.getIPString());
    EXPECT_EQ("10.1.2.3", second.getIPString());
    EXPECT_EQ(ipv4(10, 1, 2, 3), second.getIP());
    EXPECT_EQ(0, first.getPort());
    EXPECT_EQ(0, second.getPort());
}

TEST_F(ResolveTest, FailuresAreCachedAsTheAnyAddress) {
    const TCPAddress unknown = TCPAddress::resolve("nowhere");
    EXPECT_EQ("0.0.0.0", unknown.getIPString());
    EXPECT_EQ(0UL, unknown.getIP());
    EXPECT_EQ(0, unknown.getPort());
    lookup.forward["nowhere"] = ipv4(10, 0, 0, 5);
    EXPECT_EQ("0.0.0.0", TCPAddress::resolve("nowhere").getIPString());
    EXPECT_EQ(1u, lookup.names.size());
}

TEST_F(ResolveTest, KeysAreCaseSensitive) {
    lookup.forward["Host"] = ipv4(10, 0, 0, 1);
    lookup.forward["host"] = ipv4(10, 0, 0, 2);
    EXPECT_EQ("10.0.0.1", TCPAddress::resolve("Host").getIPString());
    EXPECT_EQ("10.0.0.2", TCPAddress::resolve("host").getIPString());
    EXPECT_EQ("10.0.0.1", TCPAddress::resolve("Host").getIPString());
    EXPECT_EQ((std::vector<std::string>{"Host", "host"}), lookup.names);
}

TEST_F(ResolveTest, TextsNotStartingWithALetterTakeTheReverseWay) {
    lookup.reverse[ipv4(10, 9, 8, 7)] = ipv4(10, 9, 8, 7);
    EXPECT_EQ("10.9.8.7", TCPAddress::resolve("10.9.8.7").getIPString());
    EXPECT_EQ("0.0.0.0", TCPAddress::resolve("10.0.0.99").getIPString());
    // Neither a digit-led name nor a non-ASCII or punctuation start reaches the forward lookup.
    for (const char* text : {"3host", "_service", "-x", "\xC3\xA9t\xC3\xA9", ""})
        EXPECT_EQ("0.0.0.0", TCPAddress::resolve(text).getIPString()) << text;
    EXPECT_TRUE(lookup.names.empty());
    ASSERT_EQ(7u, lookup.addresses.size());
    EXPECT_EQ(ipv4(10, 9, 8, 7), lookup.addresses[0]);
    EXPECT_EQ(ipv4(10, 0, 0, 99), lookup.addresses[1]);
    EXPECT_EQ(0xFFFFFFFFu, lookup.addresses[2]); // "3host" is no address
    EXPECT_EQ("0.0.0.0", TCPAddress::resolve("10.0.0.99").getIPString());
    EXPECT_EQ(7u, lookup.addresses.size());
}

TEST_F(ResolveTest, AnAllOnesAnswerThrowsAndIsNotCached) {
    lookup.forward["broadcast"] = 0xFFFFFFFFu;
    EXPECT_EQ(invalidAddressMessage, thrownText([] { TCPAddress::resolve("broadcast"); }));
    EXPECT_EQ(invalidAddressMessage, thrownText([] { TCPAddress::resolve("broadcast"); }));
    EXPECT_EQ(2u, lookup.names.size());
}

TEST(NativeHostLookupTest, ResolvesLocalhostAndIsRestoredByNull) {
    CountingLookup fake;
    setHostLookup(&fake);
    EXPECT_EQ(&fake, &hostLookup());
    setHostLookup(nullptr);
    EXPECT_NE(&fake, &hostLookup());
    const TCPAddress local = TCPAddress::resolve("localhost");
    EXPECT_EQ(0, local.getPort());
    EXPECT_EQ(0u, local.getIPString().rfind("127.", 0)) << local.getIPString();
    EXPECT_TRUE(fake.names.empty());
}

} // namespace
