#include "elf_versions.h"

#include <elf.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

/* A file mapped read-only; only the pages looked at are read. */
struct mapped {
    const unsigned char* data;
    size_t size;
};

static int map_file(const char* path, struct mapped* file) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    /* The size by seeking: fstat's symbol is glibc 2.33's. */
    off_t size = lseek(fd, 0, SEEK_END);
    void* data = size > 0 ? mmap(NULL, (size_t)size, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    close(fd);
    if (data == MAP_FAILED) return 0;
    file->data = data;
    file->size = (size_t)size;
    return 1;
}

/* Whether [offset, offset + length) lies inside the file. */
static int inside(const struct mapped* file, uint64_t offset, uint64_t length) {
    return offset <= file->size && length <= file->size - offset;
}

/* The file offset of a virtual address, through the loadable segments; 0 when none holds it. */
static uint64_t file_offset(const struct mapped* file, const Elf64_Ehdr* header, uint64_t address) {
    for (unsigned i = 0; i < header->e_phnum; ++i) {
        const Elf64_Phdr* segment =
            (const Elf64_Phdr*)(file->data + header->e_phoff + i * sizeof(Elf64_Phdr));
        if (segment->p_type == PT_LOAD && address >= segment->p_vaddr &&
            address - segment->p_vaddr < segment->p_filesz)
            return segment->p_offset + (address - segment->p_vaddr);
    }
    return 0;
}

/* Marks in `found` each of `versions` that the library's version definitions name. */
static void read_definitions(const struct mapped* file, const char* const* versions, size_t count,
                             int* found) {
    const Elf64_Ehdr* header = (const Elf64_Ehdr*)file->data;
    if (!inside(file, 0, sizeof *header) || memcmp(header->e_ident, ELFMAG, SELFMAG) != 0 ||
        header->e_ident[EI_CLASS] != ELFCLASS64 || header->e_phentsize != sizeof(Elf64_Phdr) ||
        !inside(file, header->e_phoff, (uint64_t)header->e_phnum * sizeof(Elf64_Phdr)))
        return;
    const Elf64_Phdr* dynamic = NULL;
    for (unsigned i = 0; i < header->e_phnum && !dynamic; ++i) {
        const Elf64_Phdr* segment =
            (const Elf64_Phdr*)(file->data + header->e_phoff + i * sizeof(Elf64_Phdr));
        if (segment->p_type == PT_DYNAMIC) dynamic = segment;
    }
    if (!dynamic || !inside(file, dynamic->p_offset, dynamic->p_filesz)) return;
    uint64_t strings = 0, strings_size = 0, definitions = 0, definition_count = 0;
    const Elf64_Dyn* entry = (const Elf64_Dyn*)(file->data + dynamic->p_offset);
    for (size_t i = 0; i < dynamic->p_filesz / sizeof *entry && entry[i].d_tag != DT_NULL; ++i) {
        if (entry[i].d_tag == DT_STRTAB) strings = file_offset(file, header, entry[i].d_un.d_ptr);
        if (entry[i].d_tag == DT_STRSZ) strings_size = entry[i].d_un.d_val;
        if (entry[i].d_tag == DT_VERDEF)
            definitions = file_offset(file, header, entry[i].d_un.d_ptr);
        if (entry[i].d_tag == DT_VERDEFNUM) definition_count = entry[i].d_un.d_val;
    }
    if (!strings || !definitions || !inside(file, strings, strings_size)) return;
    const char* table = (const char*)file->data + strings;
    uint64_t at = definitions;
    for (uint64_t i = 0; i < definition_count && inside(file, at, sizeof(Elf64_Verdef)); ++i) {
        const Elf64_Verdef* definition = (const Elf64_Verdef*)(file->data + at);
        uint64_t aux = at + definition->vd_aux;
        if (definition->vd_cnt > 0 && inside(file, aux, sizeof(Elf64_Verdaux))) {
            uint64_t name = ((const Elf64_Verdaux*)(file->data + aux))->vda_name;
            for (size_t v = 0; v < count && name < strings_size; ++v) {
                size_t length = strlen(versions[v]);
                if (length < strings_size - name &&
                    memcmp(table + name, versions[v], length + 1) == 0)
                    found[v] = 1;
            }
        }
        if (definition->vd_next == 0) break;
        at += definition->vd_next;
    }
}

int qby_library_defines_versions(const char* path, const char* const* versions, size_t count) {
    struct mapped file;
    if (count > 8 || !map_file(path, &file)) return 0;
    int found[8] = {0};
    read_definitions(&file, versions, count, found);
    munmap((void*)file.data, file.size);
    for (size_t v = 0; v < count; ++v)
        if (!found[v]) return 0;
    return 1;
}

static int exists_in(const char* folder, size_t folder_length, const char* soname, char* path,
                     size_t size) {
    int written = snprintf(path, size, "%.*s/%s", (int)folder_length, folder, soname);
    return written > 0 && (size_t)written < size && access(path, R_OK) == 0;
}

/* The x86-64 libc6 entry for `soname` in the loader's cache (glibc's format 1.1, after the
 * old format's table where a cache still has one); string offsets count from its header. */
static int from_cache(const char* soname, const char* cache, char* path, size_t size) {
    static const char old_magic[] = "ld.so-1.7.0", new_magic[] = "glibc-ld.so.cache1.1";
    enum { NEW_HEADER = 48, NEW_ENTRY = 24, X86_64_LIBC6 = 0x0303 };
    struct mapped file;
    if (!map_file(cache, &file)) return 0;
    uint64_t start = 0;
    if (inside(&file, 0, 16) && memcmp(file.data, old_magic, sizeof old_magic - 1) == 0) {
        uint32_t old_count;
        memcpy(&old_count, file.data + 12, sizeof old_count);
        start = (16 + (uint64_t)old_count * 12 + 7) & ~(uint64_t)7;
    }
    int result = 0;
    if (inside(&file, start, NEW_HEADER) &&
        memcmp(file.data + start, new_magic, sizeof new_magic - 1) == 0) {
        const unsigned char* base = file.data + start;
        uint32_t entries;
        memcpy(&entries, base + 20, sizeof entries);
        for (uint64_t i = 0; i < entries && !result; ++i) {
            uint64_t at = start + NEW_HEADER + i * NEW_ENTRY;
            if (!inside(&file, at, NEW_ENTRY)) break;
            int32_t flags;
            uint32_t key, value;
            memcpy(&flags, file.data + at, 4);
            memcpy(&key, file.data + at + 4, 4);
            memcpy(&value, file.data + at + 8, 4);
            size_t room = file.size - (size_t)start;
            if (flags != X86_64_LIBC6 || key >= room || value >= room) continue;
            const char *name = (const char*)base + key, *target = (const char*)base + value;
            if (strnlen(name, room - key) == room - key) continue;
            size_t target_length = strnlen(target, room - value);
            if (strcmp(name, soname) != 0 || target_length == room - value || target_length >= size)
                continue;
            strcpy(path, target);
            result = access(path, R_OK) == 0;
        }
    }
    munmap((void*)file.data, file.size);
    return result;
}

int qby_find_library(const char* soname, const char* cache, char* path, size_t size) {
    const char* folders = getenv("LD_LIBRARY_PATH");
    while (folders && *folders) {
        size_t length = strcspn(folders, ":;");
        if (length > 0 && exists_in(folders, length, soname, path, size)) return 1;
        folders += length + (folders[length] != '\0');
    }
    if (from_cache(soname, cache, path, size)) return 1;
    static const char* const system_folders[] = {"/lib/x86_64-linux-gnu",
                                                 "/usr/lib/x86_64-linux-gnu",
                                                 "/lib64",
                                                 "/usr/lib64",
                                                 "/lib",
                                                 "/usr/lib"};
    for (size_t i = 0; i < sizeof system_folders / sizeof system_folders[0]; ++i) {
        if (exists_in(system_folders[i], strlen(system_folders[i]), soname, path, size)) return 1;
    }
    return 0;
}
