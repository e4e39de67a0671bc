// Buffers and their blocks: sharing without copying, copy on write, ownership, resizing, views,
// byte copies, files and sequence stamps.
#include "signal/generic_buffer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <vector>

#include "signal/block_buffer.h"
#include "signal/integer_buffer.h"
#include "signal/real_buffer.h"

namespace sib {
namespace {

std::vector<double> valuesOf(TSLRealBuffer& buffer) {
  return std::vector<double>(buffer.Read(), buffer.Read() + buffer.GetSize());
}

TEST(SmartBufferTest, BlockSizesRoundUpToPowersOfTwoFromFour) {
  struct Row {
    std::uint64_t requested;
    std::uint32_t allocated;
  };
  for (Row row : {Row{0, 4}, Row{4, 4}, Row{5, 8}, Row{40, 64}, Row{440, 512}, Row{512, 512},
                  Row{(1u << 30) - 1, 1u << 30}, Row{1u << 30, 1u << 30}}) {
    EXPECT_EQ(TSLPooledMemory::RoundedSize(row.requested), row.allocated) << row.requested;
  }
  EXPECT_EQ(TSLSmartMemoryBuffer::Create(440)->GetAllocatedSize(), 512u);
}

TEST(GenericBufferTest, MakeCopySharesTheBlockAndTheLastBufferFreesIt) {
  const std::int64_t blocks = TSLSmartBuffer::LiveBlocks();
  RefPtr<TSLRealBuffer> first = TSLRealBuffer::CreateValue(1.5, 8);
  RefPtr<ISLData> copy = first->MakeCopy();
  auto* second = dynamic_cast<TSLRealBuffer*>(copy->GetInstance());
  ASSERT_NE(second, nullptr) << "a typed buffer copies as its own class";
  EXPECT_EQ(second->DataContainer(), first->DataContainer());
  EXPECT_EQ(second->Read(), first->Read()) << "no data was copied";
  EXPECT_EQ(first->DataContainer()->CountOwners(), 2);
  EXPECT_EQ(TSLSmartBuffer::LiveBlocks(), blocks + 1);
  first.reset();
  EXPECT_EQ(second->GetItem(7), 1.5);
  copy.reset();
  EXPECT_EQ(TSLSmartBuffer::LiveBlocks(), blocks);
}

TEST(GenericBufferTest, WritingThroughOneOfTwoBuffersGivesItACopyAndLeavesTheOtherAlone) {
  RefPtr<TSLBlockBuffer> first = TSLBlockBuffer::CreateValue(7, 16);
  RefPtr<TSLBlockBuffer> second = TSLBlockBuffer::CreateEx(*first);
  TSLSmartBuffer* shared = first->DataContainer();

  std::uint8_t* bytes = second->ByteModify();
  bytes[0] = 99;
  EXPECT_NE(second->DataContainer(), shared);
  EXPECT_EQ(second->GetItem(1), 7) << "the copy kept the contents";
  EXPECT_EQ(first->GetItem(0), 7);
  EXPECT_EQ(first->DataContainer(), shared);
  EXPECT_EQ(shared->CountOwners(), 1);
  EXPECT_FALSE(first->Unique(true)) << "a sole owner writes in place";
}

TEST(GenericBufferTest, AnOwnerSharingItsBlockOnlyWithANonOwnerWritesInPlace) {
  RefPtr<TSLBlockBuffer> owner = TSLBlockBuffer::CreateValue(1, 4);
  RefPtr<TSLBlockBuffer> viewer = TSLBlockBuffer::CreateEx(*owner);
  viewer->RemoveOwnerShip();
  EXPECT_FALSE(viewer->OwnsData());
  EXPECT_EQ(owner->DataContainer()->CountOwners(), 1);
  EXPECT_EQ(owner->DataContainer()->CountTransports(), 2);
  owner->SetItem(0, 5);
  EXPECT_EQ(viewer->DataContainer(), owner->DataContainer());
  EXPECT_EQ(viewer->GetItem(0), 5) << "the viewer sees the owner's write";
  owner.reset();
  EXPECT_EQ(viewer->GetItem(0), 5) << "the viewer keeps the block alive";
}

TEST(GenericBufferTest, AssignViewsTheOtherBlockAndSizeWithoutCopying) {
  RefPtr<TSLRealBuffer> target = TSLRealBuffer::CreateValue(1.0, 4);
  RefPtr<TSLRealBuffer> source = TSLRealBuffer::CreateValue(2.0, 10);
  TSLSmartBuffer* old = target->DataContainer();
  const std::int64_t blocks = TSLSmartBuffer::LiveBlocks();
  RefPtr<ISLRealBuffer> sourceIntf = source;
  target->Assign(sourceIntf.get());
  EXPECT_EQ(target->DataContainer(), source->DataContainer());
  EXPECT_NE(target->DataContainer(), old);
  EXPECT_EQ(target->GetSize(), 10u);
  EXPECT_EQ(target->Read(), source->Read());
  EXPECT_EQ(TSLSmartBuffer::LiveBlocks(), blocks - 1) << "the old block went with its last viewer";
  target->Assign(target->AsDataBufferIntf());
  EXPECT_EQ(target->GetSize(), 10u);
}

TEST(GenericBufferTest, ResizeKeepsTheBlockWhenItCanAndCopiesTheKeptValuesWhenItMoves) {
  std::vector<double> ten{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  RefPtr<TSLRealBuffer> buffer = TSLRealBuffer::CreateData(ten.data(), 10);
  TSLSmartBuffer* block = buffer->DataContainer();
  buffer->Resize(5, true);
  EXPECT_EQ(buffer->DataContainer(), block);
  EXPECT_EQ(valuesOf(*buffer), (std::vector<double>{0, 1, 2, 3, 4}));

  buffer->Resize(8, true);
  EXPECT_EQ(buffer->DataContainer(), block) << "a sole owner grows in place while the block has room";

  buffer->Resize(5, true);
  RefPtr<TSLRealBuffer> sharer = TSLRealBuffer::CreateEx(*buffer);
  buffer->Resize(100, true);
  EXPECT_NE(buffer->DataContainer(), block);
  EXPECT_EQ(buffer->GetSize(), 100u);
  EXPECT_EQ(std::vector<double>(buffer->Read(), buffer->Read() + 5), (std::vector<double>{0, 1, 2, 3, 4}));
  EXPECT_EQ(sharer->DataContainer(), block);

  TSLSmartBuffer* current = buffer->DataContainer();
  buffer->Resize(3, false);
  EXPECT_NE(buffer->DataContainer(), current) << "a shrink without keeping the data takes a new block";
  buffer->Resize(0, true);
  EXPECT_EQ(buffer->GetSize(), 0u);
}

TEST(GenericBufferTest, ByteCopyChecksBothRanges) {
  RefPtr<TSLBlockBuffer> source = TSLBlockBuffer::CreateValue(3, 8);
  RefPtr<TSLBlockBuffer> target = TSLBlockBuffer::CreateValue(0, 8);
  RefPtr<TSLBlockBuffer> shared = TSLBlockBuffer::CreateEx(*target);
  source->CopyData(2, target->AsDataBufferIntf(), 4, 4);
  EXPECT_EQ(std::vector<std::uint8_t>(target->Read(), target->Read() + 8),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 3, 3, 3, 3}));
  EXPECT_EQ(shared->GetItem(4), 0) << "the target wrote to a block of its own";
  try {
    source->CopyData(6, target->AsDataBufferIntf(), 0, 4);
    FAIL() << "expected ERangeError";
  } catch (const ERangeError& e) {
    EXPECT_EQ(e.Message(), "Index out of range = 10");
  }
  EXPECT_THROW(source->CopyData(0, target->AsDataBufferIntf(), 5, 4), ERangeError);
}

TEST(GenericBufferTest, RealBuffersCopyDoublesIntoRealBuffers) {
  std::vector<double> values{1, 2, 3, 4};
  RefPtr<TSLRealBuffer> source = TSLRealBuffer::CreateData(values.data(), 4);
  RefPtr<TSLRealBuffer> target = TSLRealBuffer::CreateValue(0, 4);
  source->CopyData(1, target->AsDataBufferIntf(), 0, 2);
  EXPECT_EQ(valuesOf(*target), (std::vector<double>{2, 3, 0, 0}));
  source->CopyData(0, source->AsDataBufferIntf(), 1, 3);
  EXPECT_EQ(valuesOf(*source), (std::vector<double>{1, 1, 2, 3})) << "overlapping copies within one buffer";
}

TEST(GenericBufferTest, ViewsOfAnotherTypeSeeTheSameBytes) {
  std::vector<std::int32_t> values{1, 256};
  RefPtr<TSLIntegerBuffer> integers = TSLIntegerBuffer::CreateData(values.data(), 2);
  RefPtr<TSLBlockBuffer> bytes = TSLBlockBuffer::CreateUniversal(integers->AsDataIntf());
  EXPECT_EQ(bytes->GetSize(), 8u);
  EXPECT_EQ(bytes->Read(), reinterpret_cast<const std::uint8_t*>(integers->Read()));
  EXPECT_EQ(bytes->GetItem(5), 1);
  EXPECT_FALSE(bytes->IsEqual(integers->AsDataBufferIntf())) << "typed buffers equal only their own class";
  EXPECT_TRUE(bytes->IsEqual(TSLBlockBuffer::CreateEx(*bytes)->AsDataBufferIntf()));
}

TEST(GenericBufferTest, InterfacesAreAnsweredAlongTheClassTree) {
  RefPtr<TSLRealBuffer> real = TSLRealBuffer::CreateSize(2);
  RefPtr<ISLRealBuffer> intf = real;
  EXPECT_TRUE(supports<ISLData>(intf.get()));
  EXPECT_TRUE(supports<ISLDataBuffer>(intf.get()));
  EXPECT_TRUE(supports<ISLGenericBuffer>(intf.get()));
  EXPECT_TRUE(supports<ISLLinearDataBuffer>(intf.get()));
  EXPECT_FALSE(supports<ISLIntegerBuffer>(intf.get()));
  RefPtr<ISLData> data = queryInterface<ISLData>(intf);
  EXPECT_EQ(data->GetInstance(), real.get());
  EXPECT_EQ(queryInterface<ISLLinearDataBuffer>(data)->GetSize(), 2u);
  EXPECT_EQ(real->RefCount(), 3);
  EXPECT_THROW(TSLRealBuffer::CreateUniversal(nullptr), EInvalidOperation);
}

TEST(GenericBufferTest, SequenceStampsBelongToTheBlock) {
  RefPtr<TSLRealBuffer> first = TSLRealBuffer::CreateSize(4);
  RefPtr<TSLRealBuffer> second = TSLRealBuffer::CreateEx(*first);
  first->GetSequenceStamp()->SetBufferNumber(42);
  first->GetSequenceStamp()->SetAvailable(true);
  EXPECT_TRUE(second->GetSequenceStamp()->Available());
  EXPECT_EQ(second->GetSequenceStamp()->BufferNumber(), 42);
}

TEST(GenericBufferTest, FilesHoldTheBytesInUse) {
  const std::string path = ::testing::TempDir() + "generic_buffer_test.bin";
  std::vector<double> values{1.25, -2.5, 3.75};
  TSLRealBuffer::CreateData(values.data(), 3)->SaveToFile(path);
  RefPtr<TSLRealBuffer> loaded = TSLRealBuffer::CreateSize(3);
  loaded->LoadFromFile(path);
  EXPECT_EQ(valuesOf(*loaded), values);

  RefPtr<TSLRealBuffer> larger = TSLRealBuffer::CreateSize(4);
  EXPECT_THROW(larger->LoadFromFile(path), EInOutError) << "the file is shorter than the buffer";
  EXPECT_EQ(larger->GetSize(), 4u);
  EXPECT_THROW(loaded->LoadFromFile(path + ".missing"), EInOutError);
  EXPECT_THROW(loaded->SaveToFile("/nonexistent-dir/x.bin"), EInOutError);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace sib
