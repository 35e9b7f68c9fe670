// The host's state snapshot and the commands the interface sends, as the host writes and reads
// them. A snapshot is taken only when every field has the type the host promises.

export interface Availability {
  allowed: boolean;
  reason: string;
}

export type ActionName = 'install' | 'uninstall' | 'launch' | 'stop' | 'openFolder' | 'createShortcut';

export interface Installation {
  id: string;
  family: string;
  name: string;
  edition: string;
  communityFolder: string;
  available: boolean;
}

export interface Section {
  id: string;
  name: string;
  subtitle: string;
  badge: string;
  iconUrl: string;
  imageUrl: string;
  enabled: boolean;
}

export type Status = 'notInstalled' | 'updateAvailable' | 'installed';

export interface Component {
  id: string;
  name: string;
  kind: 'application' | 'community';
  sections: string[];
  simulators: string[];
  summary: string;
  description: string;
  documentationUrl: string;
  imageUrl: string;
  availableVersion: string;
  installedVersion: string;
  status: Status;
  running: boolean;
  compatible: boolean;
  packageAvailable: boolean;
  location: string;
  actions: Record<ActionName, Availability>;
}

export interface Operation {
  active: boolean;
  componentId: string;
  action: string;
  progress: number;
  message: string;
}

export interface UpdateState {
  state: string;
  version: string;
  progress: number;
  message: string;
}

export interface Snapshot {
  appVersion: string;
  notice: string;
  error: string;
  catalog: { links: { label: string; url: string }[] };
  simulator: {
    running: boolean;
    installations: Installation[];
    target: Installation;
    customCommunityFolder: string;
    customCommunityAvailable: boolean;
  };
  sections: Section[];
  components: Component[];
  operation: Operation;
  update: UpdateState;
}

type ComponentCommand = { type: ActionName; componentId: string };
export type Command =
  | { type: 'refresh' | 'reload' | 'uninstallApplication' | 'cancelOperation' }
  | { type: 'chooseCommunityFolder' | 'dismissNotice' | 'dismissError' }
  | ComponentCommand
  | { type: 'openLink'; url: string }
  | { type: 'selectSimulator'; installationId: string };

// A shape is a template of the expected JSON: a string, number or boolean stands for its type,
// a one-element array for a list of that element, an object for an object with those keys.
type Shape = string | number | boolean | Shape[] | { [key: string]: Shape };

const availability = { allowed: false, reason: '' };
const installation = { id: '', family: '', name: '', edition: '', communityFolder: '', available: false };
const snapshotShape: Shape = {
  appVersion: '',
  notice: '',
  error: '',
  catalog: { links: [{ label: '', url: '' }] },
  simulator: {
    running: false,
    installations: [installation],
    target: installation,
    customCommunityFolder: '',
    customCommunityAvailable: false,
  },
  sections: [{ id: '', name: '', subtitle: '', badge: '', iconUrl: '', imageUrl: '', enabled: false }],
  components: [
    {
      id: '', name: '', kind: '', sections: [''], simulators: [''], summary: '', description: '',
      documentationUrl: '', imageUrl: '', availableVersion: '', installedVersion: '', status: '',
      running: false, compatible: false, packageAvailable: false, location: '',
      actions: {
        install: availability, uninstall: availability, launch: availability, stop: availability,
        openFolder: availability, createShortcut: availability,
      },
    },
  ],
  operation: { active: false, componentId: '', action: '', progress: 0, message: '' },
  update: { state: '', version: '', progress: 0, message: '' },
};

function matches(value: unknown, shape: Shape): boolean {
  if (Array.isArray(shape)) return Array.isArray(value) && value.every((item) => matches(item, shape[0]));
  if (typeof shape === 'object') {
    if (typeof value !== 'object' || value === null || Array.isArray(value)) return false;
    const record = value as Record<string, unknown>;
    return Object.entries(shape).every(([key, inner]) => matches(record[key], inner));
  }
  return typeof value === typeof shape;
}

const statuses: string[] = ['notInstalled', 'updateAvailable', 'installed'];

/** The snapshot in a host message (an object or its JSON text), or null when it is not one. */
export function parseSnapshot(data: unknown): Snapshot | null {
  let value = data;
  if (typeof data === 'string') {
    try {
      value = JSON.parse(data);
    } catch {
      return null;
    }
  }
  if (!matches(value, snapshotShape)) return null;
  const snapshot = value as Snapshot;
  const known = snapshot.components.every(
    (c) => statuses.includes(c.status) && (c.kind === 'application' || c.kind === 'community'),
  );
  return known ? snapshot : null;
}
