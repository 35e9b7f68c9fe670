// One catalog component: what it is, where it stands, and what can be done with it now. A
// refused action stays visible with its reason as text; an action whose rule gives no reason
// does not apply to the component and is not shown.
import { useId, useState } from 'react';
import { Artwork } from './Artwork';
import { send } from './host';
import type { ActionName, Availability, Component, Operation } from './model';
import { OperationPanel } from './OperationPanel';
import { compatibilityText, primaryLabel, statusText } from './text';

interface Props {
  component: Component;
  family: string;
  operation: Operation;
  onUninstall: (component: Component) => void;
}

interface Control {
  action: ActionName;
  label: string;
  run: () => void;
}

function ActionButton({ label, availability, reasonId, run, primary }: {
  label: string; availability: Availability; reasonId: string; run: () => void; primary?: boolean;
}) {
  const refused = !availability.allowed;
  return (
    <button type="button" className={primary ? 'primary' : undefined} aria-disabled={refused || undefined}
      aria-describedby={refused && availability.reason ? reasonId : undefined}
      onClick={() => { if (!refused) run(); }}>
      {label}
    </button>
  );
}

export function ComponentCard({ component, family, operation, onUninstall }: Props) {
  const id = useId();
  const [expanded, setExpanded] = useState(false);
  const { actions } = component;
  const componentId = component.id;
  const command = (type: ActionName) => () => send({ type, componentId });
  const secondary: Control[] = [
    { action: 'uninstall', label: 'Uninstall', run: () => onUninstall(component) },
    { action: 'openFolder', label: 'Open folder', run: command('openFolder') },
    { action: 'launch', label: 'Launch', run: command('launch') },
    { action: 'stop', label: 'Stop', run: command('stop') },
    { action: 'createShortcut', label: 'Create desktop shortcut', run: command('createShortcut') },
  ];
  const shown = secondary.filter((c) => actions[c.action].allowed || actions[c.action].reason);
  const busyHere = operation.active && operation.componentId === componentId;
  // A reason shown beside the primary action is not repeated under the other actions.
  const primaryReason = !busyHere && !actions.install.allowed ? actions.install.reason : '';
  const reasons = [...new Set(shown.filter((c) => !actions[c.action].allowed).map((c) => actions[c.action].reason))]
    .filter((reason) => reason !== primaryReason);
  const reasonId = (reason: string) =>
    reason === primaryReason ? `${id}-install-reason` : `${id}-reason-${reasons.indexOf(reason)}`;
  const versions = [
    component.installedVersion && `Installed ${component.installedVersion}`,
    component.availableVersion && `Available ${component.availableVersion}`,
  ].filter(Boolean).join(' · ');

  return (
    <article className="card" aria-labelledby={`${id}-family ${id}-name`} aria-busy={busyHere || undefined}>
      <Artwork className="card-picture" fileName={component.imageUrl} />
      <div className="card-body">
        <header className="card-head">
          <p className="family" id={`${id}-family`}>{family}</p>
          <h3 id={`${id}-name`}>{component.name}</h3>
          <span className="kind">{component.kind === 'application' ? 'Windows application' : 'Community package'}</span>
        </header>
        <p className="summary">{component.summary}</p>
        {expanded && <p className="description" id={`${id}-description`}>{component.description}</p>}
        <button type="button" className="link-button" aria-expanded={expanded} aria-controls={`${id}-description`}
          aria-label={`${expanded ? 'Show less' : 'Read more'} about ${component.name}`} onClick={() => setExpanded(!expanded)}>
          {expanded ? 'Show less' : 'Read more'}
        </button>
        <p className={component.compatible ? 'compatibility' : 'compatibility incompatible'}>
          {compatibilityText(component)}
          {!component.compatible && ' · not for the selected simulator'}
        </p>
        <p className={`status status-${component.status}`}>
          <span className="status-name">{statusText[component.status]}</span>
          {versions && <span className="versions">{versions}</span>}
          {component.running && <span className="running-tag">Running</span>}
        </p>
        {busyHere ? (
          <OperationPanel operation={operation} name={component.name} />
        ) : (
          <div className="primary-row">
            <ActionButton primary label={primaryLabel[component.status]} availability={actions.install}
              reasonId={`${id}-install-reason`} run={command('install')} />
            {primaryReason && <p className="reason" id={`${id}-install-reason`}>{primaryReason}</p>}
          </div>
        )}
        <div className="secondary-row">
          {shown.map((c) => (
            <ActionButton key={c.action} label={c.label} availability={actions[c.action]}
              reasonId={reasonId(actions[c.action].reason)} run={c.run} />
          ))}
          {component.documentationUrl && (
            <button type="button" onClick={() => send({ type: 'openLink', url: component.documentationUrl })}>
              Documentation
            </button>
          )}
        </div>
        {reasons.map((reason) => (
          <p key={reason} className="reason" id={reasonId(reason)}>{reason}</p>
        ))}
      </div>
    </article>
  );
}
