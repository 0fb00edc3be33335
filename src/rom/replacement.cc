#include "rom/replacement.h"

#include "platform/platform.h"
#include "rom/extract_arm7.h"

Replacement replacement_at(const std::string& path, const std::string& name) {
  Replacement replacement;
  replacement.path = path;
  replacement.name = name;
  return replacement;
}

FilePtr open_replacement(const Replacement& replacement) {
  if (replacement.scratch)
    return FilePtr(replacement.scratch.get(), [](std::FILE*) { return 0; });
  return FilePtr(open_for_reading(replacement.path), std::fclose);
}

Failure look_at_replacement(const std::string& path, const std::string& name,
                            Offered offered, Candidate* candidate) {
  *candidate = Candidate();
  candidate->path = path;
  candidate->name = name;
  const bool whole_image = offered != Offered::as_donor &&
                           is_donor_image(path, &candidate->addresses);
  if (offered == Offered::as_donor ||
      (offered == Offered::as_either && whole_image))
    return read_donor(path, candidate);
  if (whole_image) return Failure::whole_image_as_binary;
  FilePtr file(open_for_reading(path), std::fclose);
  candidate->size_known = file && file_size(file.get(), &candidate->size);
  return candidate->size_known ? Failure::none : Failure::arm7_unreadable;
}

Replacement replacement_of(const Candidate& candidate) {
  Replacement replacement = replacement_at(
      candidate.donor ? std::string() : candidate.path, candidate.name);
  replacement.from_donor = candidate.donor;
  replacement.donor = candidate.addresses;
  replacement.size_known = candidate.size_known;
  replacement.size = candidate.size;
  return replacement;
}
