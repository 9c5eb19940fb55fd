/* Signs update manifests for the client's updater with Ed25519 (libsodium). Runs on the build
 * machine and on the update service's side, never in the client.
 *
 *   update_sign keygen <secret key file> <public key file>
 *       makes a key pair; both files hold hex text (the public key is what the client's build
 *       takes as ZARVIK_UPDATE_PUBLIC_KEY)
 *   update_sign sign [options] <secret key file> <manifest> <signature file>
 *       writes the detached signature of the manifest's exact bytes, as hex text. The options
 *       first write the keys that keep a signed manifest from being replayed, frozen or used by
 *       the other edition into the manifest's section [UPDATE] (right after its header, in place
 *       of lines of the same key), and sign the result:
 *         --serial N          Serial=N (1 to 18 digits; clients refuse a lower one than they saw)
 *         --expires TIME      Expires=TIME, UTC "YYYY-MM-DDThh:mm:ssZ"
 *         --valid-for SECONDS Expires= now plus SECONDS
 *         --edition 0|1       Edition= the service edition the manifest is for
 *       A client with a built-in key refuses a manifest without all three.
 *   update_sign verify <public key file> <manifest> <signature file>
 *       exit code 0 when the signature is good
 *
 * Exit codes: 0 success, 1 bad signature, 2 usage or file error. */
#include <sodium.h>

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static int read_file(const char* path, unsigned char** data, size_t* size) {
  FILE* f = fopen(path, "rb");
  if (!f)
    return 0;
  size_t capacity = 4096, used = 0;
  unsigned char* buffer = malloc(capacity);
  size_t n;
  while (buffer && (n = fread(buffer + used, 1, capacity - used, f)) > 0) {
    used += n;
    if (used == capacity) {
      if (capacity > (64u << 20)) { /* no manifest is this large */
        free(buffer);
        buffer = NULL;
        break;
      }
      unsigned char* bigger = realloc(buffer, capacity * 2);
      if (!bigger) {
        free(buffer);
        buffer = NULL;
        break;
      }
      buffer = bigger;
      capacity *= 2;
    }
  }
  fclose(f);
  if (!buffer)
    return 0;
  *data = buffer;
  *size = used;
  return 1;
}

static int write_hex(const char* path, const unsigned char* bytes, size_t size) {
  char* hex = malloc(size * 2 + 1);
  if (!hex)
    return 0;
  sodium_bin2hex(hex, size * 2 + 1, bytes, size);
  FILE* f = fopen(path, "wb");
  int ok = f && fprintf(f, "%s\n", hex) > 0;
  if (f && fclose(f) != 0)
    ok = 0;
  sodium_memzero(hex, size * 2 + 1);
  free(hex);
  return ok;
}

/* Reads exactly `size` bytes written as hex (surrounding blanks allowed). */
static int read_hex(const char* path, unsigned char* out, size_t size) {
  unsigned char* text;
  size_t length;
  if (!read_file(path, &text, &length))
    return 0;
  while (length > 0 && isspace(text[length - 1]))
    --length;
  size_t start = 0;
  while (start < length && isspace(text[start]))
    ++start;
  size_t decoded = 0;
  int ok = sodium_hex2bin(out, size, (const char*)text + start, length - start, NULL, &decoded,
                          NULL) == 0 &&
           decoded == size && length - start == size * 2;
  sodium_memzero(text, length);
  free(text);
  return ok;
}

/* Case-insensitive comparison of the first n bytes. */
static int same_name(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i]))
      return 0;
  return 1;
}

/* The key of a profile line (blanks around it dropped), or length 0. */
static size_t line_key(const char* line, size_t length, const char** key) {
  size_t start = 0;
  while (start < length && (line[start] == ' ' || line[start] == '\t'))
    ++start;
  const char* equals = memchr(line + start, '=', length - start);
  if (!equals)
    return 0;
  size_t end = (size_t)(equals - line);
  while (end > start && (line[end - 1] == ' ' || line[end - 1] == '\t'))
    --end;
  *key = line + start;
  return end - start;
}

/* Rewrites the manifest at `path` with `lines` (each "Key=value") right after its [UPDATE]
 * header; lines of the same keys in that section are dropped. 0 on failure. */
static int stamp_manifest(const char* path, const char* const* lines, size_t count) {
  unsigned char* text;
  size_t size;
  if (!read_file(path, &text, &size))
    return 0;
  const unsigned char* first_newline = memchr(text, '\n', size);
  const char* eol =
      first_newline && first_newline > text && first_newline[-1] == '\r' ? "\r\n" : "\n";
  FILE* out = NULL;
  char* temp = malloc(strlen(path) + 5);
  if (temp) {
    sprintf(temp, "%s.new", path);
    out = fopen(temp, "wb");
  }
  int in_section = 0, stamped = 0, ok = out != NULL;
  size_t at = 0;
  while (ok && at < size) {
    const char* line = (const char*)text + at;
    const char* newline = memchr(line, '\n', size - at);
    size_t length = newline ? (size_t)(newline - line) + 1 : size - at;
    at += length;
    size_t body = length;
    while (body > 0 && (line[body - 1] == '\n' || line[body - 1] == '\r'))
      --body;
    size_t lead = 0;
    while (lead < body && (line[lead] == ' ' || line[lead] == '\t'))
      ++lead;
    if (lead < body && line[lead] == '[') {
      in_section = !stamped && body - lead >= 8 && same_name(line + lead, "[UPDATE]", 8);
      ok = fwrite(line, 1, length, out) == length;
      if (ok && in_section) {
        if (!newline)
          ok = fputs(eol, out) >= 0;
        for (size_t i = 0; ok && i < count; ++i)
          ok = fprintf(out, "%s%s", lines[i], eol) > 0;
        stamped = 1;
      }
      continue;
    }
    const char* key;
    size_t key_length = line_key(line, body, &key);
    int replaced = 0;
    for (size_t i = 0; in_section && key_length && i < count; ++i) {
      const char* wanted_end = strchr(lines[i], '=');
      if ((size_t)(wanted_end - lines[i]) == key_length && same_name(key, lines[i], key_length))
        replaced = 1;
    }
    if (!replaced)
      ok = fwrite(line, 1, length, out) == length;
  }
  free(text);
  if (out && fclose(out) != 0)
    ok = 0;
  if (ok && !stamped) {
    fprintf(stderr, "update_sign: %s has no section [UPDATE]\n", path);
    ok = 0;
  }
  if (ok && rename(temp, path) != 0)
    ok = 0;
  if (!ok && temp)
    remove(temp);
  free(temp);
  return ok;
}

static int all_digits(const char* text, size_t min, size_t max) {
  size_t n = strlen(text);
  if (n < min || n > max)
    return 0;
  for (size_t i = 0; i < n; ++i)
    if (!isdigit((unsigned char)text[i]))
      return 0;
  return 1;
}

/* "YYYY-MM-DDThh:mm:ssZ" in form (the client checks the calendar too). */
static int utc_time_form(const char* text) {
  static const char form[] = "dddd-dd-ddTdd:dd:ddZ";
  if (strlen(text) != sizeof(form) - 1)
    return 0;
  for (size_t i = 0; form[i]; ++i)
    if (form[i] == 'd' ? !isdigit((unsigned char)text[i]) : text[i] != form[i])
      return 0;
  return 1;
}

int main(int argc, char** argv) {
  if (sodium_init() < 0) {
    fprintf(stderr, "update_sign: libsodium cannot start\n");
    return 2;
  }
  if (argc == 4 && strcmp(argv[1], "keygen") == 0) {
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    int ok = write_hex(argv[2], sk, sizeof sk) && write_hex(argv[3], pk, sizeof pk);
    sodium_memzero(sk, sizeof sk);
    if (!ok) {
      fprintf(stderr, "update_sign: cannot write the key files\n");
      return 2;
    }
    return 0;
  }
  /* The options of "sign" become manifest lines; argv is shifted past them. */
  static char serial_line[64], expires_line[64], edition_line[32];
  const char* stamps[3];
  size_t stamp_count = 0;
  if (argc > 2 && strcmp(argv[1], "sign") == 0) {
    int next = 2;
    int seen_serial = 0, seen_expires = 0, seen_edition = 0;
    while (next + 1 < argc && strncmp(argv[next], "--", 2) == 0) {
      const char* option = argv[next];
      const char* value = argv[next + 1];
      int* seen = strcmp(option, "--serial") == 0    ? &seen_serial
                  : strcmp(option, "--edition") == 0 ? &seen_edition
                                                     : &seen_expires;
      if ((*seen)++) {
        fprintf(stderr, "update_sign: %s is given twice\n", option);
        return 2;
      }
      if (strcmp(option, "--serial") == 0 && all_digits(value, 1, 18)) {
        snprintf(serial_line, sizeof serial_line, "Serial=%s", value);
        stamps[stamp_count++] = serial_line;
      } else if (strcmp(option, "--expires") == 0 && utc_time_form(value)) {
        snprintf(expires_line, sizeof expires_line, "Expires=%s", value);
        stamps[stamp_count++] = expires_line;
      } else if (strcmp(option, "--valid-for") == 0 && all_digits(value, 1, 9)) {
        time_t when = time(NULL) + (time_t)atol(value);
        struct tm utc;
        gmtime_r(&when, &utc);
        strftime(expires_line, sizeof expires_line, "Expires=%Y-%m-%dT%H:%M:%SZ", &utc);
        stamps[stamp_count++] = expires_line;
      } else if (strcmp(option, "--edition") == 0 &&
                 (strcmp(value, "0") == 0 || strcmp(value, "1") == 0)) {
        snprintf(edition_line, sizeof edition_line, "Edition=%s", value);
        stamps[stamp_count++] = edition_line;
      } else {
        fprintf(stderr, "update_sign: bad option %s %s\n", option, value);
        return 2;
      }
      next += 2;
    }
    argv[next - 1] = argv[1];
    argv[next - 2] = argv[0];
    argv += next - 2;
    argc -= next - 2;
  }
  if (argc == 5 && (strcmp(argv[1], "sign") == 0 || strcmp(argv[1], "verify") == 0)) {
    if (stamp_count > 0 && !stamp_manifest(argv[3], stamps, stamp_count)) {
      fprintf(stderr, "update_sign: cannot write the keys into %s\n", argv[3]);
      return 2;
    }
    unsigned char* manifest;
    size_t size;
    if (!read_file(argv[3], &manifest, &size)) {
      fprintf(stderr, "update_sign: cannot read %s\n", argv[3]);
      return 2;
    }
    unsigned char signature[crypto_sign_BYTES];
    int result = 2;
    if (argv[1][0] == 's') {
      unsigned char sk[crypto_sign_SECRETKEYBYTES];
      if (!read_hex(argv[2], sk, sizeof sk))
        fprintf(stderr, "update_sign: %s holds no secret key\n", argv[2]);
      else if (crypto_sign_detached(signature, NULL, manifest, size, sk) == 0 &&
               write_hex(argv[4], signature, sizeof signature))
        result = 0;
      else
        fprintf(stderr, "update_sign: cannot write %s\n", argv[4]);
      sodium_memzero(sk, sizeof sk);
    } else {
      unsigned char pk[crypto_sign_PUBLICKEYBYTES];
      if (!read_hex(argv[2], pk, sizeof pk))
        fprintf(stderr, "update_sign: %s holds no public key\n", argv[2]);
      else if (!read_hex(argv[4], signature, sizeof signature))
        fprintf(stderr, "update_sign: %s holds no signature\n", argv[4]);
      else
        result = crypto_sign_verify_detached(signature, manifest, size, pk) == 0 ? 0 : 1;
    }
    free(manifest);
    return result;
  }
  fprintf(stderr,
          "usage: update_sign keygen <secret key file> <public key file>\n"
          "       update_sign sign [--serial N] [--expires YYYY-MM-DDThh:mm:ssZ | --valid-for "
          "SECONDS]\n"
          "                        [--edition 0|1] <secret key file> <manifest> <signature file>\n"
          "       update_sign verify <public key file> <manifest> <signature file>\n");
  return 2;
}
