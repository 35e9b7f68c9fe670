// The host's state snapshot, written once as a schema: the types below are inferred from it,
// so the runtime check and the types cannot drift apart. A text the interface does not know
// in an enumeration reads as "unknown" instead of rejecting the whole snapshot; a missing key or
// a wrong type anywhere means the interface does not match the hub.
import { z } from 'zod';

/** One of VALUES, or "unknown" for any other text (a newer hub may add values); not text at all fails. */
const oneOf = <const T extends readonly [string, ...string[]]>(values: T) =>
  z.enum(values).or(z.string().transform((): 'unknown' => 'unknown'));

const availability = z.object({ allowed: z.boolean(), reason: z.string() });
const installation = z.object({
  id: z.string(), family: z.string(), name: z.string(), edition: z.string(), communityFolder: z.string(), available: z.boolean(),
});
export const actionNames = ['install', 'uninstall', 'launch', 'stop', 'openFolder', 'createShortcut'] as const;

const component = z.object({
  id: z.string(),
  name: z.string(),
  kind: oneOf(['application', 'community']),
  sections: z.array(z.string()),
  simulators: z.array(z.string()),
  summary: z.string(),
  description: z.string(),
  documentationUrl: z.string(),
  imageUrl: z.string(),
  availableVersion: z.string(),
  installedVersion: z.string(),
  status: oneOf(['notInstalled', 'updateAvailable', 'installed']),
  running: z.boolean(),
  compatible: z.boolean(),
  packageAvailable: z.boolean(),
  location: z.string(),
  actions: z.object(Object.fromEntries(actionNames.map((name) => [name, availability])) as Record<ActionName, typeof availability>),
});

// Always sent: the download's figures, -1 where not known, are the idle ones (0, -1, 0, -1)
// while no package downloads, and an operation cannot be cancelled once its activation began.
const operation = z.object({
  active: z.boolean(),
  componentId: z.string(),
  action: z.string(),
  progress: z.number(),
  message: z.string(),
  cancellable: z.boolean(),
  bytesDone: z.number(),
  bytesTotal: z.number(),
  bytesPerSecond: z.number(),
  secondsLeft: z.number(),
});

export const snapshotSchema = z.object({
  appVersion: z.string(),
  notice: z.string(),
  error: z.string(),
  catalog: z.object({ links: z.array(z.object({ label: z.string(), url: z.string() })) }),
  simulator: z.object({
    running: z.boolean(),
    installations: z.array(installation),
    target: installation,
    customCommunityFolder: z.string(),
    customCommunityAvailable: z.boolean(),
  }),
  sections: z.array(z.object({
    id: z.string(), name: z.string(), subtitle: z.string(), badge: z.string(), iconUrl: z.string(), imageUrl: z.string(),
    enabled: z.boolean(),
  })),
  components: z.array(component),
  operation,
  update: z.object({
    state: oneOf(['disabled', 'checking', 'upToDate', 'downloading', 'ready', 'applying', 'error']),
    version: z.string(),
    progress: z.number(),
    message: z.string(),
  }),
});

export type ActionName = (typeof actionNames)[number];
export type Snapshot = z.infer<typeof snapshotSchema>;
export type Availability = z.infer<typeof availability>;
export type Installation = z.infer<typeof installation>;
export type Component = z.infer<typeof component>;
export type Operation = z.infer<typeof operation>;
export type Status = Component['status'];

type ComponentCommand = { type: ActionName; componentId: string };
export type Command =
  | { type: 'refresh' | 'reload' | 'uninstallApplication' | 'cancelOperation' | 'copyDiagnostics' }
  | { type: 'chooseCommunityFolder' | 'dismissNotice' | 'dismissError' }
  | ComponentCommand
  | { type: 'openLink'; url: string }
  | { type: 'selectSimulator'; installationId: string };

/** What a host message holds: a snapshot, or one this interface cannot read (with the hub's version when it says). */
export type HostState = { snapshot: Snapshot } | { mismatch: { appVersion: string } };

export function readHostMessage(data: unknown): HostState {
  let value = data;
  if (typeof data === 'string') {
    try {
      value = JSON.parse(data);
    } catch {
      value = undefined;
    }
  }
  const parsed = snapshotSchema.safeParse(value);
  if (parsed.success) return { snapshot: parsed.data };
  const version = (value as { appVersion?: unknown } | null)?.appVersion;
  return { mismatch: { appVersion: typeof version === 'string' ? version : '' } };
}
