#include "engine/ffmpeg.h"

#include <stdexcept>

#include "media/library_tables.h"

TFFmpeg::TFFmpeg(int fileCapacity) : TCustomFFmpeg(fileCapacity) {}

TFFmpeg::~TFFmpeg() {
  // The task body calls our ReleaseAll: it must end before our part goes.
  RequestStop(true);
  WaitDone();
  CloseProbes();
}

namespace {

template <typename T>
const T* Slot(const std::vector<std::optional<T>>& slots, int index) {
  if (index < 0 || size_t(index) >= slots.size() || !slots[size_t(index)]) return nullptr;
  return &*slots[size_t(index)];
}

template <typename T>
const T& Store(std::vector<std::optional<T>>& slots, int index, const T& value) {
  if (index < 0) throw std::out_of_range("negative file index");
  if (size_t(index) >= slots.size()) slots.resize(size_t(index) + 1);
  slots[size_t(index)] = value;
  return *slots[size_t(index)];
}

template <typename T>
void Clear(std::vector<std::optional<T>>& slots, int index) {
  if (index >= 0 && size_t(index) < slots.size()) slots[size_t(index)].reset();
}

}  // namespace

const TInputOptions* TFFmpeg::InputOptions(int inputIndex) const {
  return Slot(inputOptions_, inputIndex);
}

const TOutputOptions* TFFmpeg::OutputOptions(int outputIndex) const {
  return Slot(outputOptions_, outputIndex);
}

const TInputOptions& TFFmpeg::StoreInputOptions(int inputIndex, const TInputOptions& options) {
  return Store(inputOptions_, inputIndex, options);
}

const TOutputOptions& TFFmpeg::StoreOutputOptions(int outputIndex, const TOutputOptions& options) {
  return Store(outputOptions_, outputIndex, options);
}

void TFFmpeg::ClearInputOptions(int inputIndex) { Clear(inputOptions_, inputIndex); }

void TFFmpeg::ClearOutputOptions(int outputIndex) { Clear(outputOptions_, outputIndex); }

TAVProbe& TFFmpeg::AttachProbe(int inputIndex) {
  if (inputIndex < 0 || inputIndex >= InputCount()) throw std::out_of_range("no opened input to probe");
  auto probe = std::make_unique<TAVProbe>();
  // The probe only reads the context; the task keeps owning it.
  probe->AttachContext(InputFiles()[size_t(inputIndex)].Ctx);
  std::lock_guard<std::mutex> guard(filesLock_);
  if (size_t(inputIndex) >= probes_.size()) probes_.resize(size_t(inputIndex) + 1);
  probes_[size_t(inputIndex)] = std::move(probe);
  return *probes_[size_t(inputIndex)];
}

TAVProbe* TFFmpeg::Probe(int inputIndex) const {
  std::lock_guard<std::mutex> guard(filesLock_);
  if (inputIndex < 0 || size_t(inputIndex) >= probes_.size()) return nullptr;
  return probes_[size_t(inputIndex)].get();
}

void TFFmpeg::ReleaseAll() {
  CloseProbes();
  TCustomFFmpeg::ReleaseAll();
}

void TFFmpeg::CloseProbes() {
  // Closing a probe only forgets the attached context (and frees the
  // probe's own decoding state): nothing here calls out.
  std::lock_guard<std::mutex> guard(filesLock_);
  for (auto& probe : probes_)
    if (probe) probe->CloseFile();
}

TFFmpeg* TFFmpegList::FFmpeg(int index) const {
  if (!ValidIndex(index)) return nullptr;
  return dynamic_cast<TFFmpeg*>(items_[size_t(index)].get());
}

int TFFmpegList::Add(TTaskPtr task) {
  task->TaskIndex = Count();
  items_.push_back(std::move(task));
  return Count() - 1;
}

TFFmpegList::TTaskPtr TFFmpegList::Extract(int index) {
  TTaskPtr task = std::move(items_[size_t(index)]);
  items_.erase(items_.begin() + index);
  for (int i = index; i < Count(); ++i) items_[size_t(i)]->TaskIndex = i;
  return task;
}

std::vector<TFFmpegList::TTaskPtr> TFFmpegList::TakeAll() {
  std::vector<TTaskPtr> all;
  all.swap(items_);
  return all;
}
